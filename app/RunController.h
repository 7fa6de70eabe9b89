#pragma once

#include "extract/output/OutputFolder.h"

#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace quenlith {

class DocumentList;
class Platform;
class RunSummary;
class frmStep1;
struct DocumentResult;
class RunReportSpool;

// The extraction run of the main window: asks for the output folder, extracts the ticked
// documents one after the other while the window stays current, and ends with the completion
// message, which offers to save the run's report. The window owns it and keeps the commands.
class RunController {
public:
    RunController(frmStep1 &window, Platform &platform, DocumentList &documentList);
    ~RunController();
    RunController(const RunController &) = delete;
    RunController &operator=(const RunController &) = delete;

    // The whole run, from the folder picker to opening the output folder.
    void run();
    // Stops the run after the current write; nothing when no run is in progress.
    void cancel();
    bool isRunInProgress() const;

    // Writes every attachment of the document `file` (its path's bytes) into `myPDFFolder`
    // (ending in a separator), trying `password` when the empty one does not open it. With
    // `nested`, also the documents nested in it when ChkNested is ticked, into `nested`.
    DocumentResult extractDocument(const std::string &file,
        const QString &myPDFFolder,
        std::vector<DocumentResult> *nested,
        const std::string &password = {});

private:
    class ExtractionObserverImpl;
    class RunGuard;
    struct RunState;

    // Where the output-folder picker opens: the folder chosen last in this session, else the
    // folder of the first ticked document.
    QString outputPickerStart() const;
    bool isInsideSourceFolder(const QString &folder) const;
    // "Extract there anyway?" answered Yes.
    bool confirmOutputInsideSource();
    // Extracts the ticked documents into `outputFolder`; the completion message closes it.
    void extractTicked(const QString &outputFolder);
    // The files of the ticked rows, top to bottom.
    std::vector<std::string> tickedFiles();
    // Creates and opens the run's output folder and gives each ticked document its folder.
    void openOutput(RunState &run, const std::vector<std::string> &tickedPaths);
    // Extracts the document of the ticked row `row` (1-based), asking for its password when it
    // needs one, and adds its outcomes to the run.
    void extractRow(RunState &run, int row);
    void showCompletion(const QString &outputFolder,
        const RunSummary &summary,
        RunReportSpool &record,
        bool cancelled,
        int done,
        int ticked);
    // Asks where to save the run's report (JSON or CSV, by the chosen file type) and saves it.
    void saveReport(RunReportSpool &record);

    frmStep1 &m_window;
    Platform &m_platform;
    DocumentList &m_documentList;
    bool m_runInProgress = false;
    std::atomic<bool> m_cancelRequested { false }; // read by the helper thread of a run
    bool m_outputIgnoresCase = false; // the current run's output folder ignores case
    std::unique_ptr<OpenedFolder> m_outputFolder; // the current run's, opened once
    QString m_lastOutputFolder; // chosen by the last run of this session
};

} // namespace quenlith

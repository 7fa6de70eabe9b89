#include "tests/gui/GuiTestSupport.h"

#include "tests/support/FileContents.h"

#include <QRegularExpression>
#include <algorithm>

namespace guitest {

static std::vector<std::string> sorted(const std::string &folder, std::vector<std::string> names)
{
    if (std::filesystem::path(folder).parent_path().filename() == "locked")
        throw quenlith::Error(quenlith::ErrorNumber::PermissionDenied, "Permission denied");
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> SortedFileSystem::subFolderNames(const std::string &folder)
{
    return sorted(folder, StdFileSystemService::subFolderNames(folder));
}

std::vector<std::string> SortedFileSystem::fileNames(const std::string &folder)
{
    return sorted(folder, StdFileSystemService::fileNames(folder));
}

QString qpath(const std::filesystem::path &path)
{
    return QString::fromStdString(path.string());
}

std::filesystem::path writeDocument(const std::filesystem::path &path, int count)
{
    std::vector<quenlith::fixtures::Attachment> attachments;
    for (int i = 1; i <= count; ++i)
        attachments.push_back({ path.stem().string() + "-" + std::to_string(i) + ".txt",
            "attachment " + std::to_string(i) + " of " + path.filename().string(),
            0 });
    std::filesystem::create_directories(path.parent_path());
    quenlith::fixtures::writePdf(path.string(), attachments);
    return path;
}

QStringList filesBelow(const std::filesystem::path &folder)
{
    QStringList names;
    for (const auto &[name, bytes] : quenlith::fixtures::filesBelow(folder))
        names.append(QString::fromStdString(name));
    return names;
}

void WindowTest::init()
{
    QApplication::setQuitOnLastWindowClosed(false); // closing a test window must not end the run
    m_window.reset(); // before the platform it uses
    m_platform = std::make_unique<FakePlatform>();
    m_window = std::make_unique<quenlith::frmStep1>(*m_platform);
    m_window->setFileSystemFactory([] { return std::make_unique<SortedFileSystem>(); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void WindowTest::addFiles(const std::vector<std::filesystem::path> &paths)
{
    QStringList picked;
    for (const auto &path : paths)
        picked.append(qpath(path));
    m_platform->fileAnswers.enqueue(picked);
    m_window->cmdAdd_Click();
}

QTreeWidgetItem *WindowTest::row(int index) const
{
    return m_window->ListView1->topLevelItem(index);
}

QStringList WindowTest::column(int column) const
{
    QStringList texts;
    for (int i = 0; i < m_window->ListView1->topLevelItemCount(); ++i)
        texts.append(row(i)->text(column));
    return texts;
}

QList<bool> WindowTest::ticks() const
{
    QList<bool> ticked;
    for (int i = 0; i < m_window->ListView1->topLevelItemCount(); ++i)
        ticked.append(row(i)->checkState(0) == Qt::Checked);
    return ticked;
}

QStringList WindowTest::shown() const
{
    static const QRegularExpression counts(QStringLiteral("\n\nOutput folder: [^\n]*\n[^\n]*"));
    QStringList texts;
    for (const auto &message : m_platform->messages) {
        QString text = message.text;
        text.remove(counts);
        texts.append(message.title == "Quenlith" ? text : message.title + ": " + text);
    }
    return texts;
}

} // namespace guitest

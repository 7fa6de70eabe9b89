#pragma once

#include <QString>
#include <QStringList>

namespace quenlith {

// The open-file dialog's answer as one text: the full path of one picked file, or for several the
// folder, then each file name relative to it, separated by NUL characters. The command that adds
// documents splits this text, so one rule serves every platform dialog.
class FileDialogAnswer {
public:
    // The answer text for `paths` (full paths, in the dialog's order); no trailing NUL. Several
    // files name their nearest common folder as the folder part.
    static QString fromPaths(const QStringList &paths);

    // The answer with one NUL appended unless it ends in one, split at every NUL: parts 0 to n,
    // part n always empty.
    static QStringList selectionParts(const QString &answer);

    // Part 0 followed by one separator when the answer names several files (n > 1), else empty.
    static QString folderPrefix(const QStringList &parts);

    // The documents an answer names, in its order: prefix + part i for the file parts.
    static QStringList documentPaths(const QString &answer);
};

} // namespace quenlith

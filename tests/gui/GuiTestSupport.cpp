#include "tests/gui/GuiTestSupport.h"

#include "doclist/DocumentListView.h"
#include "util/Error.h"

#include <QTest>
#include <algorithm>

namespace guitest {

std::vector<std::string> SortedFileSystem::subFolderNames(const std::string &folder)
{
    auto names = StdFileSystemService::subFolderNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> SortedFileSystem::fileNames(const std::string &folder)
{
    auto names = StdFileSystemService::fileNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {
bool isLocked(const std::string &folder)
{
    return std::filesystem::path(folder).parent_path().filename() == "locked";
}
} // namespace

std::vector<std::string> LockedFolderFileSystem::subFolderNames(const std::string &folder)
{
    if (isLocked(folder))
        throw quenlith::Error(quenlith::ErrorNumber::PermissionDenied, "Permission denied");
    return SortedFileSystem::subFolderNames(folder);
}

std::vector<std::string> LockedFolderFileSystem::fileNames(const std::string &folder)
{
    if (isLocked(folder))
        throw quenlith::Error(quenlith::ErrorNumber::PermissionDenied, "Permission denied");
    return SortedFileSystem::fileNames(folder);
}

std::unique_ptr<quenlith::frmStep1> makeWindow(FakePlatform &platform)
{
    auto window = std::make_unique<quenlith::frmStep1>(platform);
    window->setFileSystemFactory([] { return std::make_unique<SortedFileSystem>(); });
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("window not exposed");
    return window;
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
    QStringList files;
    if (!std::filesystem::exists(folder))
        return files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.append(
                QString::fromStdString(std::filesystem::relative(entry.path(), folder).string()));
    }
    files.sort();
    return files;
}

QStringList column(const quenlith::frmStep1 &window, int column)
{
    QStringList texts;
    for (int i = 0; i < window.ListView1->topLevelItemCount(); ++i)
        texts.append(window.ListView1->topLevelItem(i)->text(column));
    return texts;
}

QList<bool> ticks(const quenlith::frmStep1 &window)
{
    QList<bool> ticked;
    for (int i = 0; i < window.ListView1->topLevelItemCount(); ++i)
        ticked.append(window.ListView1->topLevelItem(i)->checkState(0) == Qt::Checked);
    return ticked;
}

} // namespace guitest

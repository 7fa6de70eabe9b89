#pragma once

#include "app/frmStep1.h"
#include "scan/StdFileSystemService.h"
#include "tests/gui/FakePlatform.h"
#include "tests/support/PdfFixtures.h"
#include "tests/support/ScratchFolder.h"

#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace guitest {

// The real file system with every listing sorted by name, so that a scan's order is known.
class SortedFileSystem : public quenlith::StdFileSystemService {
public:
    std::vector<std::string> subFolderNames(const std::string &folder) override;
    std::vector<std::string> fileNames(const std::string &folder) override;
};

// SortedFileSystem that cannot list the folders whose name is "locked".
class LockedFolderFileSystem : public SortedFileSystem {
public:
    std::vector<std::string> subFolderNames(const std::string &folder) override;
    std::vector<std::string> fileNames(const std::string &folder) override;
};

// A shown window on the fake platform, scanning with SortedFileSystem.
std::unique_ptr<quenlith::frmStep1> makeWindow(FakePlatform &platform);

QString qpath(const std::filesystem::path &path);

// Writes a document with `count` small attachments "<stem>-<i>.txt".
std::filesystem::path writeDocument(const std::filesystem::path &path, int count);

// Files below `folder`, relative, sorted; includes unfinished ".part" files.
QStringList filesBelow(const std::filesystem::path &folder);

// The texts of the rows, top to bottom, of column `column`.
QStringList column(const quenlith::frmStep1 &window, int column);
QList<bool> ticks(const quenlith::frmStep1 &window);

} // namespace guitest

#include "support/TestFiles.h"
#include "util/VELModule.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace VELModule;

namespace {

TEST(AppPath, IsTheExecutablesFolderWithOneTrailingSeparator) {
    const QString path = AppPath();
    EXPECT_TRUE(path.endsWith(q("/")));
    EXPECT_FALSE(path.endsWith(q("//")));
    EXPECT_TRUE(QFileInfo::exists(path + QFileInfo(QFile::symLinkTarget(q("/proc/self/exe"))).fileName()));
}

struct PathCase {
    const char* input;
    const char* pathPart;
    const char* extWithDot;
    const char* extWithoutDot;
    const char* withoutExtension;
};

class PathParts : public testing::TestWithParam<PathCase> {};

TEST_P(PathParts, SplitAtTheLastSeparatorAndDot) {
    const PathCase& c = GetParam();
    EXPECT_EQ(GetPathPart(q(c.input)), q(c.pathPart)) << c.input;
    EXPECT_EQ(GetExtension(q(c.input), true), q(c.extWithDot)) << c.input;
    EXPECT_EQ(GetExtension(q(c.input), false), q(c.extWithoutDot)) << c.input;
    EXPECT_EQ(RemoveExtension(q(c.input)), q(c.withoutExtension)) << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathParts,
    testing::Values(PathCase{"/media/ding.wav", "/media/", ".wav", "wav", "/media/ding"},
                    PathCase{"/media/", "/media/", "", "", ""},
                    PathCase{"ding.wav", "ding.wav", ".wav", "wav", "ding"}, PathCase{"", "", ".", "", ""},
                    PathCase{"/a/ding.WAV", "/a/", ".WAV", "WAV", "/a/ding"},
                    // The dot belongs to a folder, not to the file name.
                    PathCase{"/x.y/readme", "/x.y/", "", "", "/x"}, PathCase{"wav", "wav", ".wav", "wav", ""},
                    PathCase{"english.ini", "english.ini", ".ini", "ini", "english"},
                    PathCase{"a.b.ini", "a.b.ini", ".ini", "ini", "a.b"}, PathCase{"/", "/", "", "", ""}));

TEST(FolderExists, IsTrueForAFolderAndMakesItCurrent) {
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    EXPECT_TRUE(FolderExists(dir.path()));
    EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath());
    QDir::setCurrent(before);
    writeBytes(dir.filePath(q("file.txt")), {});
    EXPECT_FALSE(FolderExists(dir.filePath(q("file.txt"))));
    EXPECT_FALSE(FolderExists(dir.filePath(q("missing"))));
    EXPECT_FALSE(FolderExists(QString()));
    EXPECT_EQ(QDir::currentPath(), before) << "a failed test leaves the current folder alone";
}

TEST(FileExists, IsTrueOnlyForFiles) {
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    for (const char* name : {"plain.txt", ".hidden", "readonly.txt"})
        writeBytes(dir.filePath(q(name)), {});
    QFile::setPermissions(dir.filePath(q("readonly.txt")), QFileDevice::ReadOwner);
    for (const char* name : {"plain.txt", ".hidden", "readonly.txt"})
        EXPECT_TRUE(FileExists(dir.filePath(q(name)))) << name;
    for (const QString& path :
         {dir.path(), QString(), dir.filePath(q("missing.txt")), dir.filePath(q("*.txt"))})
        EXPECT_FALSE(FileExists(path)) << qPrintable(path);
    QDir::setCurrent(before);
}

class FileList : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"b.ini", "A.INI", "c.Ini", "notes.txt", "README", ".hidden.ini", "x.ini.bak"})
            writeBytes(dir.filePath(q(name)), {});
        QDir(dir.path()).mkdir(q("folder.ini"));
        QFile::link(dir.filePath(q("b.ini")), dir.filePath(q("link.ini")));
        QFile::link(dir.filePath(q("folder.ini")), dir.filePath(q("dirlink.ini")));
        ASSERT_EQ(mkfifo(qPrintable(dir.filePath(q("pipe.ini"))), 0600), 0);
    }
    QTemporaryDir dir;
};

TEST_F(FileList, ListsOrdinaryFilesMatchingWithoutRegardToCaseSortedByName) {
    EXPECT_EQ(GetFileList(dir.path(), q("*.ini")),
              (QStringList{q("A.INI"), q("b.ini"), q("c.Ini"), q("link.ini")}));
    EXPECT_EQ(GetFileList(dir.path() + q("/"), q("?.INI")),
              (QStringList{q("A.INI"), q("b.ini"), q("c.Ini")}));
    EXPECT_EQ(GetFileList(dir.path(), QString()),
              (QStringList{q("A.INI"), q("b.ini"), q("c.Ini"), q("link.ini"), q("notes.txt"), q("README"),
                           q("x.ini.bak")}))
        << "an empty pattern lists every ordinary file";
    EXPECT_TRUE(GetFileList(dir.filePath(q("missing")), q("*.ini")).isEmpty());
    EXPECT_TRUE(GetFileList(dir.path(), q("*.wav")).isEmpty());
}

} // namespace

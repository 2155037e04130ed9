#include "system/no_registry.h"
#include "system/program_launcher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace kalvero {
namespace {

std::string Path(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Writes an executable script that records its argument count beside itself.
QString WriteRecordingScript(const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n"
               "echo \"$#\" > \"$(dirname \"$0\")/started.tmp\"\n"
               "mv \"$(dirname \"$0\")/started.tmp\" \"$(dirname \"$0\")/started\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QByteArray ReadWhenThere(const QString& path) {
    if (!QTest::qWaitFor([&] { return QFile::exists(path); }, 10000))
        return QByteArray();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A path with blanks and shell characters is one program, started as it is,
// with no arguments: a shell would split it or run its parts.
TEST(DetachedProgramLauncher, StartsThePathAsProgramWithoutShellOrArguments) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir(QStringLiteral("not; a shell"));
    QDir tools(dir.filePath(QStringLiteral("not; a shell")));
    const QString script = WriteRecordingScript(tools, QStringLiteral("sys info $(touch x)"));
    DetachedProgramLauncher launcher;
    launcher.Start(Path(script));
    EXPECT_EQ(ReadWhenThere(tools.filePath(QStringLiteral("started"))), QByteArray("0\n"));
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("x"))));
    EXPECT_FALSE(QFile::exists(QStringLiteral("x")));
}

TEST(DetachedProgramLauncher, StartFailuresThrowNamingThePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath(QStringLiteral("not executable"));
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    DetachedProgramLauncher launcher;
    for (const std::string& path :
         {Path(dir.filePath(QStringLiteral("missing"))), Path(plain), Path(dir.path())}) {
        try {
            launcher.Start(path);
            ADD_FAILURE() << "started " << path;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(launcher.Start(""), std::runtime_error);
}

TEST(DetachedProgramLauncher, FileExistsOnlyForRegularFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("MSINFO32.EXE"));
    QFile(file).open(QIODevice::WriteOnly);
    DetachedProgramLauncher launcher;
    EXPECT_TRUE(launcher.FileExists(Path(file)));
    EXPECT_FALSE(launcher.FileExists(Path(dir.path())));
    EXPECT_FALSE(launcher.FileExists(Path(dir.filePath(QStringLiteral("missing")))));
    EXPECT_FALSE(launcher.FileExists(""));
}

TEST(NoRegistry, EveryKeyIsMissing) {
    NoRegistry registry;
    Registry::Key key = 0;
    for (const char* subKey : {"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                               "SOFTWARE\\Microsoft\\Shared Tools Location", ""})
        EXPECT_NE(registry.OpenKey(static_cast<std::int32_t>(0x80000002u), subKey, 0, 0x2003F, key),
                  0);
    std::uint32_t type = 0;
    std::uint32_t size = 1024;
    std::vector<unsigned char> data(1024, 0);
    EXPECT_NE(registry.QueryValue(key, "PATH", type, data, size), 0);
}

} // namespace
} // namespace kalvero

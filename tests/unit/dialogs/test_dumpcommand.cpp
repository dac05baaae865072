// The `ravlenpacs dump` command and the program's common behaviour, run as a user would.

#include "support/dicomtestdata.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace ravlen::testdata;
using ravlen::toolkit::TransferSyntax;

namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

Result ravlenpacs(const QStringList &arguments, const QString &dictionary = QString()) {
    QProcess p;
    if (!dictionary.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DCMDICTPATH"), dictionary);
        p.setProcessEnvironment(environment);
    }
    p.start(QStringLiteral(RAVLENPACS_PATH), arguments);
    Result r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

TEST(DumpCommand, PrintsTheDumpWithLineFeeds) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.dcm"));
    DataSetBuilder b = baseDataSet();
    b.set(0x0010, 0x0010, QStringLiteral(u"Müller^Jörg"));
    b.setPixels(monochrome(2, 2, 1, 8, 8, false, {1, 2, 3, 4}));
    b.save(path, TransferSyntax::ExplicitLittle);
    const Result r = ravlenpacs({QStringLiteral("dump"), path});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains(QLatin1Char('\r')));
    EXPECT_TRUE(
        r.out.contains(QStringLiteral(u"(16,16) : Patient Name                  : Müller^Jörg\n")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(
        QStringLiteral("(32736,16) : Pixel Data                    : Pixel data\n")));
    EXPECT_TRUE(r.err.isEmpty());
}

TEST(DumpCommand, ExitCodesAndOneLineOnStandardError) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not an image at all, just some words in a text file\n");
    f.close();
    struct Case {
        QStringList arguments;
        int code;
        QString mentions;
    };
    const Case cases[] = {
        {{}, 1, QStringLiteral("no command")},
        {{QStringLiteral("dump")}, 1, QStringLiteral("usage")},
        {{QStringLiteral("dump"), text, text}, 1, QStringLiteral("usage")},
        {{QStringLiteral("dump"), dir.filePath(QStringLiteral("absent.dcm"))},
         2,
         dir.filePath(QStringLiteral("absent.dcm"))},
        {{QStringLiteral("dump"), text}, 2, text},
        {{QStringLiteral("frobnicate")}, 1, QStringLiteral("frobnicate")},
    };
    for (const Case &c : cases) {
        const Result r = ravlenpacs(c.arguments);
        const std::string what = c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(r.code, c.code) << what;
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.mentions)) << what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << what;
    }
}

TEST(DumpCommand, RefusesToRunWithoutTheDataDictionary) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.dcm"));
    baseDataSet().save(path, TransferSyntax::ExplicitLittle);
    const Result r = ravlenpacs({QStringLiteral("dump"), path}, dir.filePath("no-such.dic"));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("dictionary"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(DumpCommand, VersionAndHelp) {
    const Result version = ravlenpacs({QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, QStringLiteral("ravlenpacs 2.0.0\n"));
    const Result help = ravlenpacs({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("dump FILE")));
}

} // namespace

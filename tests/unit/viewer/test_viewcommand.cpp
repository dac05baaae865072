// "ravlenpacs view" as a person or a script runs it, offscreen.
#include "viewertestsupport.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ViewRun {
    int code = -1;
    QString errors;
};

ViewRun view(const QStringList &arguments, const QString &config) {
    QProcess p;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", config); // placement of the run stays here
    p.setProcessEnvironment(environment);
    p.start(QStringLiteral(RAVLENPACS_PATH), QStringList{"view"} + arguments);
    ViewRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.errors = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

class ViewCommand : public ::testing::Test {
protected:
    QString write(const QString &name) {
        ravlen::test::TestImage desc;
        desc.name = name;
        const QString path = dir.filePath(name);
        ravlen::test::imageBuilder(desc).save(path,
                                              ravlen::toolkit::TransferSyntax::ExplicitLittle);
        return path;
    }
    QTemporaryDir dir;
    QTemporaryDir config;
};

TEST_F(ViewCommand, TakesAScreenshotWithTheFirstImageFramedInRed) {
    write("a.dcm");
    write("b.dcm");
    const QString shot = dir.filePath("shot.png");
    QFile junk(dir.filePath("junk.dcm"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not DICOM");
    junk.close();
    // A folder stands for its files: a, b and the unreadable junk, which is named and skipped.
    const ViewRun r =
        view({"--grid", "1x2", "--screenshot", shot, "--quit-after-ms", "300", dir.path()},
             config.path());
    EXPECT_EQ(r.code, 0) << r.errors.toStdString();
    EXPECT_TRUE(r.errors.contains("junk.dcm")) << r.errors.toStdString();
    const QImage picture(shot);
    ASSERT_FALSE(picture.isNull());
    // The selection frame runs down the left edge of the first tile.
    int red = 0;
    for (int y = picture.height() / 4; y < picture.height() * 3 / 4; ++y) {
        const QColor c = picture.pixelColor(1, y);
        red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
    }
    EXPECT_GT(red, picture.height() / 4);
}

TEST_F(ViewCommand, ExitCodesForUsageAndUnreadableInput) {
    struct Row {
        QStringList arguments;
        int code;
        const char *says;
    };
    const QString junk = dir.filePath("junk");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    const Row table[] = {
        {{"--grid", "0x3"}, 1, "--grid"},
        {{"--grid"}, 1, "needs a value"},
        {{"--zoom", "2"}, 1, "unknown option"},
        {{"--quit-after-ms", "soon"}, 1, "--quit-after-ms"},
        {{"--quit-after-ms", "10", junk}, 2, "no image could be opened"},
        {{"--quit-after-ms", "10", dir.filePath("missing.dcm")}, 2, "no such file"},
    };
    for (const Row &r : table) {
        const ViewRun run = view(r.arguments, config.path());
        EXPECT_EQ(run.code, r.code) << r.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains(r.says)) << run.errors.toStdString();
    }
}

} // namespace

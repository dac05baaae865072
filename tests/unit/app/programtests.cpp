// The program as a person runs it: exit codes and the one line on stderr.

#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback port that was free a moment ago: nothing listens there, so a connection is refused.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

class Program : public ::testing::Test {
protected:
    Outcome run(const QStringList &arguments) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_RUNTIME_DIR", home.path()); // private to this user, as Qt wants it
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(RAVLEN_PROGRAM), arguments);
        EXPECT_TRUE(p.waitForFinished(120000)) << arguments.join(' ').toStdString();
        Outcome r;
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    // A failure is one line on stderr, naming the command.
    void expectFailure(const QStringList &arguments, int code, const QString &says) {
        const Outcome r = run(arguments);
        const std::string what = arguments.join(' ').toStdString();
        EXPECT_EQ(r.code, code) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(says)) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("ravlenpacs")) << what << "\n" << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << what;
    }
    QTemporaryDir home;
};

TEST_F(Program, HelpAndVersion) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char *command : {"view", "open", "get-pacs", "dump", "render", "echo"}) {
        EXPECT_TRUE(help.out.contains(QStringLiteral("  %1 ").arg(command))) << command;
        const Outcome own = run({command, "--help"});
        EXPECT_EQ(own.code, 0) << command;
        EXPECT_TRUE(own.out.startsWith(QStringLiteral("Usage: ravlenpacs %1").arg(command)))
            << own.out.toStdString();
        EXPECT_TRUE(own.err.isEmpty()) << command;
    }
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.out.startsWith("ravlenpacs 2.")) << version.out.toStdString();
}

TEST_F(Program, UsageErrorsExitWithOne) {
    expectFailure({}, 1, "no command");
    expectFailure({"frobnicate"}, 1, "unknown command");
    expectFailure({"dump"}, 1, "usage");
    expectFailure({"render", "x.dcm"}, 1, "usage");
    expectFailure({"render", "x.dcm", "-o", "x.png", "--level", "40"}, 1, "--width");
    expectFailure({"open"}, 1, "at least one");
    expectFailure({"get-pacs", "A-1"}, 1, "usage");
    expectFailure({"get-pacs", "A-1", "--db", "mysql://h/d"}, 1, "sqlite:PATH");
    expectFailure({"echo", "localhost"}, 1, "usage");
    expectFailure({"echo", "localhost", "70000"}, 1, "PORT");
    expectFailure({"echo", "localhost", "104", "--aet", "A-TITLE-LONGER-THAN-16"}, 1, "AE title");
}

TEST_F(Program, InputFailuresExitWithTwo) {
    expectFailure({"dump", home.filePath("missing.dcm")}, 2, "missing.dcm");
    expectFailure({"render", home.filePath("missing.dcm"), "-o", home.filePath("x.png")}, 2,
                  "missing.dcm");
    QFile notDicom(home.filePath("notes.txt"));
    ASSERT_TRUE(notDicom.open(QIODevice::WriteOnly));
    notDicom.write("not an image\n");
    notDicom.close();
    expectFailure({"dump", notDicom.fileName()}, 2, "");
    expectFailure({"get-pacs", "A-1", "--db", "sqlite:" + home.filePath("none.db")}, 2, "none.db");
    EXPECT_FALSE(QFileInfo::exists(home.filePath("none.db")));
}

TEST_F(Program, AnUnknownAccessionNumberIsReported) {
    const QString path = home.filePath("ris.db");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "program-ris");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("create table StudyTable (AccessionNumber text, StudyUID text)"));
        ASSERT_TRUE(q.exec("insert into StudyTable values ('A-1', '1.2.3')"));
        db.close();
    }
    QSqlDatabase::removeDatabase("program-ris");
    expectFailure({"get-pacs", "B-2", "--db", "sqlite:" + path}, 2, "no study with accession");
}

TEST_F(Program, AnUnreachablePeerIsReportedWithinTheTimeOut) {
    const QString port = QString::number(closedPort());
    ASSERT_NE(port, "0");
    const Outcome r = run({"echo", "127.0.0.1", port, "--timeout", "5"});
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("ravlenpacs echo: ")) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
}

} // namespace

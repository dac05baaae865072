#include "componenttestsupport.h"
#include "getpacscases.h"

#include "component/studylookup.h"

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

class GetPacsSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        test::startComponentForTests();
        ASSERT_TRUE(database.connection().isOpen());
    }
    QTemporaryDir dir;
    // The embedded dialect: the study table lives in the database file itself.
    test::StudyDatabase database{"QSQLITE", "StudyTable", [this](QSqlDatabase &db) {
                                     db.setDatabaseName(dir.filePath("ris.sqlite"));
                                 }};
};

TEST_F(GetPacsSqlite, Cases) {
    test::runGetPacsCases(database);
}
TEST_F(GetPacsSqlite, Failures) {
    test::runGetPacsFailures(database);
}
TEST_F(GetPacsSqlite, UsesTheCallingObjectsUser) {
    test::runGetPacsUsesItsOwnUser(database);
}

TEST_F(GetPacsSqlite, EmptyNumberNeverTouchesTheDatabase) {
    // An unusable connection and no user at all: either fails if it is used.
    auto user = std::make_shared<test::TestUser>(QSqlDatabase());
    clsRavlenPACSViewer withUser;
    withUser.setRavlenUser(user);
    const int loadsBefore = retrieveDialog().loadCount();
    EXPECT_NO_THROW(withUser.GetPACS(QString()));
    EXPECT_NO_THROW(withUser.GetPACS(QStringLiteral("")));
    EXPECT_NO_THROW(clsRavlenPACSViewer().GetPACS(QString()));
    EXPECT_EQ(user->calls, 0);
    EXPECT_EQ(retrieveDialog().loadCount(), loadsBefore);
}

TEST(StudyLookup, StatementPerDialect) {
    const std::pair<const char *, const char *> cases[] = {
        {"QODBC", "select * from dicom.dbo.StudyTable where accessionnumber = ?"},
        {"QPSQL", "select * from dicom.StudyTable where accessionnumber = ?"},
        {"QSQLITE", "select * from StudyTable where accessionnumber = ?"},
        {"QMYSQL", "select * from dicom.StudyTable where accessionnumber = ?"},
    };
    for (const auto &[driver, statement] : cases) {
        EXPECT_EQ(component::studyLookupStatement(component::dialectOf(driver)), statement);
    }
}

} // namespace

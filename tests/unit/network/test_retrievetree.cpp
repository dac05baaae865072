#include "network/retrievetree.h"

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::network;

namespace {

QueryRecord patient() {
    QueryRecord r;
    r.patientName = "DOE^JANE";
    r.patientId = "P1";
    r.birthDate = "19700101";
    r.patientSex = "F";
    return r;
}

} // namespace

TEST(RetrieveTreeTexts, PatientTextHasNoBlankAfterLabelsAndEndsInOne) {
    EXPECT_EQ(patientText(patient()), "DOE^JANE PATID:P1 DOB:19700101 (F) ");
    EXPECT_EQ(patientText(QueryRecord{}), " PATID: DOB: () ");
}

TEST(RetrieveTreeTexts, StudyLabelFromDescriptionAndDate) {
    QueryRecord r;
    EXPECT_EQ(Description(r), "STUDY");
    r.studyDate = QString();
    EXPECT_EQ(Description(r), "STUDY on "); // present but empty still adds " on "
    r.studyDate = "20260102";
    EXPECT_EQ(Description(r), "STUDY on 20260102");
    r.studyDescription = "CT HEAD";
    EXPECT_EQ(Description(r), "CT HEAD on 20260102");
    r.studyDate.reset();
    EXPECT_EQ(Description(r), "CT HEAD");
}

TEST(RetrieveTreeTexts, StudyEntriesUnderPatientAndAtTheTop) {
    QueryRecord r = patient();
    r.studyId = "42";
    EXPECT_EQ(studyChildText(r), "STUDY --- (42) ");
    r.studyId.clear();
    EXPECT_EQ(studyChildText(r), "STUDY --- () ");
    // Two blanks and a slash after the patient's closing parenthesis.
    EXPECT_EQ(studyRootText(r), "DOE^JANE PATID:P1 DOB:19700101 (F)  / STUDY");
}

TEST(RetrieveTreeTexts, SeriesLabelOrPlaceholderWord) {
    QueryRecord r;
    EXPECT_EQ(seriesText(r), "**SERIES**");
    r.seriesDescription = "AX 5mm";
    EXPECT_EQ(seriesText(r), "AX 5mm");
}

TEST(RetrieveTreeTags, ChildCopiesParentValuesUpToItsLevel) {
    const EntryTag patientTag{kPatientLevel, "P1", "stale", "stale"};
    const EntryTag study = patientTag.child("1.2.3");
    EXPECT_EQ(study, (EntryTag{kStudyLevel, "P1", "1.2.3", ""}));
    const EntryTag series = study.child("1.2.3.4");
    EXPECT_EQ(series, (EntryTag{kSeriesLevel, "P1", "1.2.3", "1.2.3.4"}));
    // A loaded parent gives the same child as before loading.
    EXPECT_EQ(patientTag.markedLoaded().child("1.2.3"), study);
}

TEST(RetrieveTreeTags, LoadedEntriesNeedNoFurtherQuery) {
    EXPECT_EQ(expansionFor(kPatientLevel), Expansion::Studies);
    EXPECT_EQ(expansionFor(kStudyLevel), Expansion::Series);
    EXPECT_EQ(expansionFor(kSeriesLevel), Expansion::Nothing);
    for (int level : {kPatientLevel, kStudyLevel, kSeriesLevel}) {
        const EntryTag loaded = EntryTag{level, "P", "S", ""}.markedLoaded();
        EXPECT_TRUE(loaded.loaded());
        EXPECT_EQ(loaded.baseLevel(), level);
        EXPECT_EQ(expansionFor(loaded.level), Expansion::Nothing);
        // Marking twice does not flip it back.
        EXPECT_EQ(loaded.markedLoaded(), loaded);
    }
    for (int level : {0, 4, -4, 99}) {
        EXPECT_EQ(expansionFor(level), Expansion::InvalidLevel) << level;
    }
}

TEST(RetrieveKeyTable, LoadPatientsWritesHostKeysUnderTheRoot) {
    const PatientKeys keys{"ID", "NAME", "M", "19500101", "20200101", "CT", "ACC", "1.2"};
    const QueryKeys patientRoot = loadPatientsKeys(keys, true);
    EXPECT_EQ(patientRoot.root, "PATIENT");
    EXPECT_EQ(patientRoot.level, "PATIENT");
    EXPECT_EQ(patientRoot.patientId, "ID");
    EXPECT_EQ(patientRoot.patientName, "NAME");
    EXPECT_EQ(patientRoot.patientSex, "M");
    EXPECT_EQ(patientRoot.birthDate, "19500101");
    EXPECT_EQ(patientRoot.studyDate, "20200101");
    EXPECT_EQ(patientRoot.studyUid, "1.2");
    EXPECT_FALSE(patientRoot.seriesUid.has_value());
    EXPECT_FALSE(patientRoot.instanceUid.has_value());

    const QueryKeys studyRoot = loadPatientsKeys(keys, false);
    EXPECT_EQ(studyRoot.root, "STUDY");
    EXPECT_EQ(studyRoot.level, "STUDY");
}

TEST(RetrieveKeyTable, ExpansionAndRetrievalPerLevel) {
    const std::optional<QString> unset;
    const QString empty;
    struct Row {
        const char *what;
        QueryKeys keys;
        QString level;
        std::optional<QString> patientId, studyUid, seriesUid, instanceUid;
    };
    const EntryTag p{kPatientLevel, "P1", "", ""};
    const EntryTag s{kStudyLevel, "P1", "1.2", ""};
    const EntryTag se{kSeriesLevel, "P1", "1.2", "1.2.3"};
    const Row rows[] = {
        {"expand patient", expansionKeys(p), "STUDY", "P1", empty, empty, empty},
        {"expand study", expansionKeys(s), "SERIES", "P1", "1.2", empty, empty},
        {"expand loaded study", expansionKeys(s.markedLoaded()), "SERIES", "P1", "1.2", empty,
         empty},
        {"retrieve patient", *retrievalKeys(p), "PATIENT", "P1", empty, empty, empty},
        {"retrieve study", *retrievalKeys(s), "STUDY", "P1", "1.2", empty, empty},
        {"retrieve series", *retrievalKeys(se), "SERIES", "P1", "1.2", "1.2.3", empty},
        {"retrieve loaded patient", *retrievalKeys(p.markedLoaded()), "PATIENT", "P1", empty, empty,
         empty},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.keys.level, row.level);
        EXPECT_EQ(row.keys.patientId, row.patientId);
        EXPECT_EQ(row.keys.studyUid, row.studyUid);
        EXPECT_EQ(row.keys.seriesUid, row.seriesUid);
        EXPECT_EQ(row.keys.instanceUid, row.instanceUid);
        // Keys of the first query stay in force.
        EXPECT_EQ(row.keys.root, unset);
        EXPECT_EQ(row.keys.patientName, unset);
        EXPECT_EQ(row.keys.patientSex, unset);
        EXPECT_EQ(row.keys.birthDate, unset);
        EXPECT_EQ(row.keys.studyDate, unset);
    }
    EXPECT_FALSE(retrievalKeys(EntryTag{0, "P1", "", ""}));
    EXPECT_FALSE(retrievalKeys(EntryTag{4, "P1", "", ""}));
}

TEST(RetrievePrecedence, GetBeforeSyncMoveBeforeAsyncMove) {
    EXPECT_EQ(retrievalMethod(true, true, true), RetrievalMethod::CGet);
    EXPECT_EQ(retrievalMethod(true, false, true), RetrievalMethod::CGet);
    EXPECT_EQ(retrievalMethod(false, true, true), RetrievalMethod::SyncMove);
    EXPECT_EQ(retrievalMethod(false, false, true), RetrievalMethod::AsyncMove);
    EXPECT_EQ(retrievalMethod(false, false, false), RetrievalMethod::None);
}

TEST(RetrieveFailureTexts, RefusedGetHasTheLongExplanationOthersTheirNumber) {
    const QString refused = cgetFailureText(1409, "ignored");
    EXPECT_TRUE(refused.startsWith("The SCP did not accept this request, which probably"));
    EXPECT_TRUE(refused.contains("(many systems no longer accept C-GET).  You should try"));
    EXPECT_TRUE(refused.endsWith("IP address and port number"));
    EXPECT_FALSE(refused.contains("ignored"));
    EXPECT_EQ(cgetFailureText(1401, "peer PACS at h:1 refused"),
              "C-GET failed - error number 1401 - peer PACS at h:1 refused");
}

TEST(RetrieveLayout, TreeFollowsTheWindowButNeverNegative) {
    const QRect tree(120, 600, 5000, 4000);
    EXPECT_EQ(treeRectForSize(QSize(9000, 7000), tree), QRect(120, 600, 8800, 6390));
    // Exactly zero is applied; below zero keeps the old dimension.
    EXPECT_EQ(treeRectForSize(QSize(200, 610), tree), QRect(120, 600, 0, 0));
    EXPECT_EQ(treeRectForSize(QSize(199, 609), tree), tree);
    EXPECT_EQ(treeRectForSize(QSize(100, 7000), tree), QRect(120, 600, 5000, 6390));
}

TEST(RetrieveTreeTexts, PatientsOfStudyAnswersOncePerPatientInFirstOrder) {
    QueryRecord a = patient();
    QueryRecord b = patient();
    b.patientId = "P2";
    QueryRecord a2 = a;
    a2.studyUid = "1.2.2";
    QueryRecord sameIdOtherName = a;
    sameIdOtherName.patientName = "ROE^RICHARD";
    const std::vector<QueryRecord> patients = distinctPatients({a, b, a2, sameIdOtherName});
    ASSERT_EQ(patients.size(), 3u);
    EXPECT_EQ(patients[0].patientId, "P1");
    EXPECT_EQ(patients[1].patientId, "P2");
    EXPECT_EQ(patients[2].patientName, "ROE^RICHARD");
    EXPECT_TRUE(distinctPatients({}).empty());
}

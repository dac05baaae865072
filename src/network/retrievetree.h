#pragma once

#include "network/patientkeys.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// The query/retrieve tree without a window: what each entry says and carries, which keys each
// operation writes on the query object, and which retrieval method the options choose.
namespace ravlen::network {

// The fields the tree reads from one C-FIND answer.
struct QueryRecord {
    QString patientName;
    QString patientId;
    QString birthDate;
    QString patientSex;
    QString studyDescription;
    QString studyUid;
    QString seriesDescription;
    QString seriesUid;
    std::optional<QString> studyDate; // (0008,0020), when the answer carries it
    QString studyId;                  // (0020,0010); empty when absent
};

// Level codes of tree entries. An entry whose children have been fetched keeps its code
// negated, so expanding it again costs no query.
inline constexpr int kPatientLevel = 1;
inline constexpr int kStudyLevel = 2;
inline constexpr int kSeriesLevel = 3;

// The tag of a tree entry.
struct EntryTag {
    int level = 0;
    QString patientId;
    QString studyUid;
    QString seriesUid;

    // Level of the entry whether or not its children are loaded.
    int baseLevel() const { return level < 0 ? -level : level; }
    bool loaded() const { return level < 0; }
    EntryTag markedLoaded() const;
    // The tag of a child: the parent's values up to its level, the next level, and `value`
    // (the result's study or series UID) in the slot of that level.
    EntryTag child(const QString &value) const;
    bool operator==(const EntryTag &) const = default;
};

// Texts of the tree.
inline const QString kStudyPlaceholder =
    QStringLiteral("Please wait, while the study list is retrieved");
inline const QString kSeriesPlaceholder =
    QStringLiteral("Please wait, while the series list is retrieved");

// name + " PATID:" + ID + " DOB:" + birth date + " (" + sex + ") ", ending in a blank.
QString patientText(const QueryRecord &r);
// The study label: the description or "STUDY", then " on " + the study date when present.
QString Description(const QueryRecord &r);
// A study entry at the top of a study-root tree.
QString studyRootText(const QueryRecord &r);
// A study entry under its patient: label + " --- (" + study ID + ") ".
QString studyChildText(const QueryRecord &r);
// A series entry: the series label, "**SERIES**" when empty.
QString seriesText(const QueryRecord &r);

// The keys one operation writes on the query object. An unset key is not written and keeps the
// value it last had; an empty one matches everything.
struct QueryKeys {
    std::optional<QString> root;
    QString level;
    std::optional<QString> patientName;
    std::optional<QString> patientSex;
    std::optional<QString> birthDate;
    std::optional<QString> patientId;
    std::optional<QString> studyDate;
    std::optional<QString> studyUid;
    std::optional<QString> seriesUid;
    std::optional<QString> instanceUid;
    bool operator==(const QueryKeys &) const = default;
};

// One record per patient, in the order the patients first appear (for listing the patients of
// study answers).
std::vector<QueryRecord> distinctPatients(const std::vector<QueryRecord> &records);

// The first query of LoadPatients: root and level both "PATIENT" or both "STUDY".
QueryKeys loadPatientsKeys(const PatientKeys &keys, bool patientRoot);

// What expanding an entry does.
enum class Expansion { Studies, Series, Nothing, InvalidLevel };
Expansion expansionFor(int level);
// The keys of expanding an entry (Studies or Series only).
QueryKeys expansionKeys(const EntryTag &tag);
// The keys of retrieving an entry; nullopt for a level code outside patient, study, series.
std::optional<QueryKeys> retrievalKeys(const EntryTag &tag);

// The retrieval methods in their order of precedence.
enum class RetrievalMethod { None, CGet, SyncMove, AsyncMove };
RetrievalMethod retrievalMethod(bool cget, bool syncMove, bool asyncMove);

// Failure texts.
inline const QString kInvalidLevel = QStringLiteral("Invalid Level");
QString cgetRefusedText();
// The message of a failed C-GET: the long explanation for 1409, else the number and the text.
QString cgetFailureText(int number, const QString &text);
// Images received so far, of how many when the peer says.
QString progressText(int received, int expected);

// Where the tree goes when the dialog is `outer` large (twips), given the tree's current
// rectangle: 200 narrower than the window, reaching 10 above its bottom. A dimension that
// would be negative keeps its current value.
QRect treeRectForSize(QSize outer, QRect tree);

} // namespace ravlen::network

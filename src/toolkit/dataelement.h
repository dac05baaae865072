#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <vector>

namespace ravlen::toolkit {

struct DataElement;

// One item of a sequence: a data set with its own elements, in file order.
using DataItem = std::vector<DataElement>;

// A data element as the toolkit reports it: its tag, the dictionary description, the VR and a
// value that is a single value, an array of values or a sequence of items.
//
// Values are the toolkit's default values: QString for texts (already UTF-8, from the data
// set's Specific Character Set), double for DS/FL/FD, int for IS/US/SS/SL, uint for UL,
// qlonglong/qulonglong for SV/UV, QDate for a valid DA (other dates and times stay text), and a
// short text "(binary, N bytes)" for binary values. Pixel data is never read.
struct DataElement {
    enum class Kind { Single, Array, Sequence };

    quint16 group = 0;
    quint16 element = 0;
    QString description;
    QString vr;
    Kind kind = Kind::Single;
    // Single: no entry (empty value) or one; Array: two or more, in order.
    QVariantList values;
    // Sequence: the items, in order.
    std::vector<DataItem> items;

    // The single value, or an invalid QVariant when it is empty or not single.
    QVariant value() const {
        return kind == Kind::Single && !values.isEmpty() ? values.front() : QVariant();
    }
    // Array bounds as the dump counts them: 0 to the number of values less one.
    int lowerBound() const { return 0; }
    int upperBound() const { return int(values.size()) - 1; }
};

// The default text of a value: numbers in decimal (the system's general number form), texts as
// they are, dates in the system's short form, an invalid value as the empty text, a list as its
// values joined by "\".
QString valueText(const QVariant &value);

} // namespace ravlen::toolkit

Q_DECLARE_METATYPE(ravlen::toolkit::DataItem)

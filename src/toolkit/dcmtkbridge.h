#pragma once

// Toolkit-internal: the one place where DCMTK objects become our value types. Never included
// outside src/toolkit.

#include "toolkit/dataelement.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcspchrs.h>

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>
#include <string>

namespace ravlen::toolkit::bridge {

// Parses a DICOM file or raw data set held in memory. The bytes must have passed the pre-scan.
// Throws ToolkitError (NotDicom or Damaged) whose text begins with `name`.
std::unique_ptr<DcmFileFormat> parse(const QByteArray &bytes, const QString &name);

// Turns the text of one element into UTF-8 following a data set's Specific Character Set.
// Bytes that cannot be converted become U+FFFD; nothing is dropped.
class TextDecoder {
public:
    // `terms`: the value of Specific Character Set (0008,0005), backslash-separated.
    explicit TextDecoder(const std::string &terms = std::string());
    QString decode(const char *bytes, std::size_t length, const char *delimiters) const;
    const std::string &terms() const { return m_terms; }

private:
    enum class Mode { Ascii, Latin1, Utf8, Converter };
    QString fallback(const char *bytes, std::size_t length) const;

    std::string m_terms;
    Mode m_mode = Mode::Ascii;
    std::shared_ptr<DcmSpecificCharacterSet> m_converter;
    std::string m_iconvName; // for the fallback when DCMTK refuses a string
};

// The Specific Character Set of an item ("" when absent).
std::string characterSetOf(DcmItem &item);

// The description of a tag from the dictionary, in words ("PatientName" -> "Patient Name").
QString describeTag(const DcmTag &tag);

// Whether pixel data was read in an encapsulated (compressed) transfer syntax.
bool isEncapsulated(DcmPixelData &pixelData);

// One element as a DataElement; sequences are walked without recursion limits of their own
// (the pre-scan bounds the depth).
DataElement toDataElement(DcmElement &element, const TextDecoder &decoder);
// Every element of an item, in order.
DataItem toDataItem(DcmItem &item, const TextDecoder &inherited);

// The default value of an element as attribute() gives it.
QVariant toAttribute(const DataElement &element);

// Single-valued text of a top-level element, decoded and trimmed ("" when absent).
QString textOf(DcmItem &item, const DcmTagKey &key, const TextDecoder &decoder);

// Whether values of this VR are character strings (text VRs, some character-set dependent).
bool isTextVr(DcmEVR vr);

} // namespace ravlen::toolkit::bridge

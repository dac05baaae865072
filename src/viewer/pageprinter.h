#pragma once

#include "viewer/printlayout.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <functional>
#include <vector>

class QPrinter;

namespace ravlen::viewer {

// Where printed pages go: a printer by name, or a PDF file when no printer is set up.
struct PrintTarget {
    QString printerName; // empty: the PDF file
    QString pdfPath;
    bool toPdf() const { return printerName.isEmpty(); }
};

// The system's default printer when one is set up; otherwise a new PDF file named after `now`
// ("ravlenpacs-print-2024-01-31-140509.pdf") in the user's documents folder, or the home
// folder when there is none.
PrintTarget defaultPrintTarget(const QDateTime &now = QDateTime::currentDateTime());

// The target the viewer prints to: defaultPrintTarget() unless a provider was installed
// (tests send pages to a file of their own). An empty provider restores the default.
PrintTarget currentPrintTarget();
void setPrintTargetProvider(std::function<PrintTarget()> provider);

// The text of the message that tells where a PDF went.
QString savedAsPdfText(const QString &path);

// Sets `printer` up for `target`: the printer's own page and printable area, or for a PDF the
// locale's paper with margins of 12 points, inside which the printed layout fits on A4 and
// Letter.
void preparePrinter(QPrinter &printer, const PrintTarget &target);

// What is printed for one placed image.
struct PrintItem {
    QImage picture; // drawn scaled into its rectangle; null: nothing drawn
    QString number;
};

// Prints the pages, mapping twips through the printer's resolution: for each placed image
// `item(index)` gives what to print, and `afterImage(done)` runs once it is drawn (progress,
// pending events). Every page starts with the `header` texts, in order, before its first
// image. A page is started only when something is drawn on it, so the document never ends
// with a blank page; with no pages the printer is not opened at all. Returns the number of
// pages printed. Throws ToolkitError when the printer cannot be opened.
int printPages(QPrinter &printer, const std::vector<PrintPage> &pages,
               const std::function<PrintItem(int index)> &item,
               const std::function<void(int done)> &afterImage = {},
               const std::vector<PageText> &header = {});

} // namespace ravlen::viewer

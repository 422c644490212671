// The one render function of the report: it paints the document, page by
// page, into whatever paged device it is given, so that the preview, the
// printer and the PDF file show the same pages.
#pragma once

#include <QFont>
#include <QPagedPaintDevice>
#include <string>

#include "ReportDocument.h"

namespace orv::dusto {

// The report's font at `points`: Liberation Sans (Arial's metrics), then
// Arial or Arimo, then any sans-serif; no ligatures, so the PDF's words
// read and search as written.
QFont ReportFont(int points, bool bold = false);

// A4 portrait with margins of three quarters of an inch: the page the
// preview and the PDF file use (a printer keeps what its dialog chose).
void ApplyReportPageSetup(QPagedPaintDevice& device);

// Paints every page onto the device (starting a new page between pages):
// the header at the top of each page, the footer with the page number at
// the bottom, the table rows between them, and the exposure chart, when the
// document has one, on a page of its own after the last row. A row is split only when it is
// taller than a page, and then between its lines; no line of the table is
// drawn on two pages, whatever the fonts or the page size. An empty
// document gives one page with header and footer. Returns the number of
// pages. Fails with error 75 when painting on the device cannot start.
int RenderReport(const ReportDocument& document, QPagedPaintDevice& device);

// Writes the document as a PDF file (replacing any file of that name).
// Fails with error 75, naming the file and the reason, when it cannot be
// written.
void WriteReportPdf(const ReportDocument& document, const std::string& path);

}  // namespace orv::dusto

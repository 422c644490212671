#include "ReportRenderer.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
#include <memory>
#include <vector>

#include "ExposureChartPainter.h"
#include "OrvError.h"

namespace orv::dusto {

namespace {

constexpr double kMarginInches = 0.75;
constexpr int kFontPoints = 10;
constexpr int kHeaderGapTwips = 160;
constexpr int kFooterGapTwips = 160;
// Paddings of a cell, in the text layout's own units (1/96 inch).
constexpr double kCellPaddingVertical = 1.5;
constexpr double kTextCellPaddingRight = 8.0;
constexpr double kMinimumTextColumnTwips = 1000;
constexpr double kClipInset = 0.5;

}  // namespace

QFont ReportFont(int points, bool bold) {
  // The report is laid out for Arial's metrics. Liberation Sans has the same
  // widths, so labels wrap as designed; it is installed with the program and
  // preferred, then Arial itself or its other metric twin, then any sans-serif.
  QFont f;
  f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                 QStringLiteral("Arimo")});
  f.setPointSize(points);
  f.setWeight(bold ? QFont::Bold : QFont::Normal);
  f.setStyleHint(QFont::SansSerif);
  // No ligatures: the words of the PDF file must read (and search) as
  // written, "fi" as two letters.
  f.setStyleStrategy(QFont::PreferNoShaping);
  return f;
}

namespace {

double TwipsToDevice(double twips, const QPaintDevice& device) {
  return twips * device.logicalDpiX() / 1440.0;
}

// A heading introduces the rows after it: a row without a value followed by a
// row indented deeper ("Processing year 1962" before the year's figures,
// "Starting job number 2" before the job). It must not be left alone at the
// foot of a page.
bool IsHeading(const std::vector<ReportRow>& rows, size_t r) {
  return r + 1 < rows.size() && rows[r].value.empty() && !rows[r].text.empty() &&
         rows[r + 1].indent > rows[r].indent;
}

// Where the laid-out table may go over to a new page: between rows, and
// inside a row only where no line of any of its cells is cut.
struct TableBreaks {
  // The top of each row, and the table's foot after the last one.
  std::vector<double> row_tops;
  // For each row, the places inside it, top to bottom, where a row too tall
  // for a page may be cut: the tops of its lines below its first.
  std::vector<std::vector<double>> line_cuts;
};

// Calls `visit(line, origin)` for each laid-out line of one cell, `origin`
// being where its block's layout stands in the document.
template <typename Visit>
void ForEachCellLine(QAbstractTextDocumentLayout& layout, const QTextTableCell& cell,
                     Visit visit) {
  const QTextBlock last = cell.lastCursorPosition().block();
  for (QTextBlock block = cell.firstCursorPosition().block(); block.isValid();
       block = block.next()) {
    const QTextLayout* text = block.layout();
    const QPointF origin = layout.blockBoundingRect(block).topLeft();
    for (int i = 0; i < text->lineCount(); ++i) visit(text->lineAt(i), origin);
    if (block == last) break;
  }
}

// The cells of row `r`, a merged cell once.
std::vector<QTextTableCell> RowCells(QTextTable& table, int r) {
  std::vector<QTextTableCell> cells;
  for (int c = 0; c < table.columns(); ++c) {
    const QTextTableCell cell = table.cellAt(r, c);
    if (cell.column() == c) cells.push_back(cell);
  }
  return cells;
}

TableBreaks FindBreaks(QTextDocument& doc, QTextTable& table, size_t count) {
  TableBreaks breaks;
  breaks.row_tops.reserve(count + 1);
  breaks.line_cuts.resize(count);
  QAbstractTextDocumentLayout* layout = doc.documentLayout();
  const double dpi_y = layout->paintDevice()->logicalDpiY();
  for (int r = 0; r < static_cast<int>(count); ++r) {
    const QTextTableCell first = table.cellAt(r, 0);
    const QRectF block = layout->blockBoundingRect(first.firstCursorPosition().block());
    breaks.row_tops.push_back(block.top() -
                              first.format().toTableCellFormat().topPadding() * dpi_y / 96.0);
    std::vector<std::pair<double, double>> lines;  // top and bottom of each
    std::vector<double> candidates;  // line tops but the first of each cell
    for (const QTextTableCell& cell : RowCells(table, r)) {
      bool first_line = true;
      ForEachCellLine(*layout, cell, [&](const QTextLine& line, const QPointF& origin) {
        const double top = origin.y() + line.y();
        lines.emplace_back(top, top + line.height());
        if (!first_line) candidates.push_back(top);
        first_line = false;
      });
    }
    std::vector<double>& cuts = breaks.line_cuts[static_cast<size_t>(r)];
    for (const double top : candidates) {
      const bool cuts_a_line = std::any_of(lines.begin(), lines.end(), [&](const auto& other) {
        return other.first < top && top < other.second;
      });
      if (!cuts_a_line) cuts.push_back(top);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  }
  breaks.row_tops.push_back(layout->documentSize().height());
  return breaks;
}

// The table rows as a text document laid out in pages of the body's size.
struct LaidOutTable {
  std::unique_ptr<QTextDocument> doc;
  QTextTable* table = nullptr;  // owned by doc; none when there are no rows
  TableBreaks breaks;
};

// A short last word ("%", "yrs") is bound to the word before it, so that a
// wrapped line never leaves it alone on a line of its own.
QString KeepLastWordWithText(QString text) {
  const qsizetype last_space = text.lastIndexOf(QLatin1Char(' '));
  if (last_space > 0 && text.size() - last_space - 1 <= 3 && text.size() - last_space > 1) {
    text[last_space] = QChar::Nbsp;
  }
  return text;
}

QTextTableFormat PlainTableFormat(const QList<QTextLength>& widths) {
  QTextTableFormat table_format;
  table_format.setBorder(0);
  table_format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
  table_format.setCellSpacing(0);
  table_format.setCellPadding(0);
  table_format.setMargin(0);
  table_format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
  table_format.setColumnWidthConstraints(widths);
  return table_format;
}

// A comparison: the mark, report A's text and value, report B's text and
// value. The two texts share what the page leaves; a row that differs is
// marked "*" and shaded, and indentation is a left margin in the text cell.
constexpr int kComparisonColumns = 5;
constexpr double kMarkColumnTwips = 300;
constexpr double kComparedValueTwips = 1000;
constexpr double kComparisonIndent = 10.0;  // per level, in the layout's units

void FillComparisonTable(const ReportDocument& report, QTextDocument& doc, const QSizeF& body,
                         const QPaintDevice& device, LaidOutTable& out) {
  const double body_twips = body.width() * 1440.0 / device.logicalDpiX();
  const double fixed = kMarkColumnTwips + 2 * kComparedValueTwips;
  const double text_twips = std::max((body_twips - fixed) / 2, kMinimumTextColumnTwips);
  const double total = fixed + 2 * text_twips;
  const auto share = [total](double twips) {
    return QTextLength(QTextLength::PercentageLength, 100.0 * twips / total);
  };
  const QList<QTextLength> widths = {share(kMarkColumnTwips), share(text_twips),
                                     share(kComparedValueTwips), share(text_twips),
                                     share(kComparedValueTwips)};
  const auto& rows = report.ComparedRows();
  QTextCursor cursor(&doc);
  cursor.beginEditBlock();
  QTextTable* table = cursor.insertTable(static_cast<int>(rows.size()), kComparisonColumns,
                                         PlainTableFormat(widths));
  const QColor shade(0xff, 0xe0, 0x8a);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const ComparedRow& row = rows[static_cast<size_t>(r)];
    const auto put = [&](int column, const QString& text, Qt::Alignment align, int indent) {
      QTextTableCell cell = table->cellAt(r, column);
      QTextTableCellFormat format;
      format.setTopPadding(kCellPaddingVertical);
      format.setBottomPadding(kCellPaddingVertical);
      format.setRightPadding(kTextCellPaddingRight);
      if (row.differs) format.setBackground(shade);
      cell.setFormat(format);
      QTextCursor c = cell.firstCursorPosition();
      QTextBlockFormat block;
      block.setAlignment(align);
      block.setLeftMargin(indent * kComparisonIndent);
      if (align == Qt::AlignRight) block.setNonBreakableLines(true);
      c.setBlockFormat(block);
      c.insertText(text);
    };
    put(0, row.differs ? QStringLiteral("*") : QString(), Qt::AlignLeft, 0);
    put(1, KeepLastWordWithText(QString::fromStdString(row.a.text)), Qt::AlignLeft, row.a.indent);
    put(2, QString::fromStdString(row.a.value), Qt::AlignRight, 0);
    put(3, KeepLastWordWithText(QString::fromStdString(row.b.text)), Qt::AlignLeft, row.b.indent);
    put(4, QString::fromStdString(row.b.value), Qt::AlignRight, 0);
  }
  cursor.endEditBlock();
  out.table = table;
  out.breaks = FindBreaks(doc, *table, rows.size());
}

LaidOutTable BuildTable(const ReportDocument& report, QPaintDevice& device, const QSizeF& body) {
  LaidOutTable out;
  out.doc = std::make_unique<QTextDocument>();
  QTextDocument* doc = out.doc.get();
  doc->documentLayout()->setPaintDevice(&device);
  doc->setDefaultFont(ReportFont(kFontPoints));
  doc->setDocumentMargin(0);
  // One long page: the rows are put on pages by PageRows.
  doc->setTextWidth(body.width());
  if (report.IsComparison()) {
    FillComparisonTable(report, *doc, body, device, out);
    return out;
  }
  if (report.Rows().empty()) return out;

  // Column widths as shares of the body, so they hold on any device.
  const double body_twips = body.width() * 1440.0 / device.logicalDpiX();
  const double fixed = kIndentColumns * kIndentColumnTwips + kValueColumnTwips;
  const double text_twips = std::max(body_twips - fixed, kMinimumTextColumnTwips);
  const double total = fixed + text_twips;
  QList<QTextLength> widths;
  for (int i = 0; i < kIndentColumns; ++i)
    widths << QTextLength(QTextLength::PercentageLength, 100.0 * kIndentColumnTwips / total);
  widths << QTextLength(QTextLength::PercentageLength, 100.0 * text_twips / total);
  widths << QTextLength(QTextLength::PercentageLength, 100.0 * kValueColumnTwips / total);

  const QTextTableFormat table_format = PlainTableFormat(widths);

  const auto& rows = report.Rows();
  QTextCursor cursor(doc);
  // One edit block: the layout runs once for the whole table, not after
  // every cell.
  cursor.beginEditBlock();
  QTextTable* table = cursor.insertTable(static_cast<int>(rows.size()), kColumns, table_format);

  QTextTableCellFormat text_cell;
  text_cell.setTopPadding(kCellPaddingVertical);
  text_cell.setBottomPadding(kCellPaddingVertical);
  text_cell.setRightPadding(kTextCellPaddingRight);
  QTextTableCellFormat value_cell;
  value_cell.setTopPadding(kCellPaddingVertical);
  value_cell.setBottomPadding(kCellPaddingVertical);
  // A value is never broken over two lines.
  QTextBlockFormat value_block;
  value_block.setAlignment(Qt::AlignRight);
  value_block.setNonBreakableLines(true);

  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const ReportRow& row = rows[static_cast<size_t>(r)];
    if (row.Span() > 1) table->mergeCells(r, row.indent, 1, row.Span());
    QTextTableCell cell = table->cellAt(r, row.indent);
    cell.setFormat(text_cell);
    cell.firstCursorPosition().insertText(KeepLastWordWithText(QString::fromStdString(row.text)));
    QTextTableCell value = table->cellAt(r, kColumns - 1);
    value.setFormat(value_cell);
    QTextCursor vc = value.firstCursorPosition();
    vc.setBlockFormat(value_block);
    vc.insertText(QString::fromStdString(row.value));
  }
  cursor.endEditBlock();
  out.table = table;
  out.breaks = FindBreaks(*doc, *table, rows.size());
  return out;
}

// The stretch of the document each page shows: whole rows, as many as fit
// the body, except that a heading at the foot of a page goes over to the
// next page with the row it introduces. A row taller than the body is cut
// between its lines: it starts on the page its predecessor ends, each page
// taking as many of its lines as fit, its rest starting the next page. Consecutive pages meet exactly, so each line
// of the table lies on one page only.
struct PageSlice {
  double top;
  double bottom;
};

// Where to end a page that starts at `top` inside or at the start of a row
// too tall to fit: the lowest cut that fits, else the first cut below `top`
// (a single line taller than the body gets a page of its own). `top` itself
// when the row has no cut below it.
double CutInRow(const std::vector<double>& cuts, double top, double body_height) {
  double cut = top;
  for (const double c : cuts) {
    if (c <= top) continue;
    if (cut > top && c - top > body_height) break;
    cut = c;
  }
  return cut;
}

std::vector<PageSlice> PageRows(const std::vector<ReportRow>& rows, const TableBreaks& breaks,
                                double body_height) {
  if (rows.empty()) return {PageSlice{0, 0}};
  const std::vector<double>& tops = breaks.row_tops;
  const size_t n = rows.size();
  std::vector<PageSlice> pages;
  double top = tops[0];
  size_t first = 0;  // the row the page starts in, perhaps with its rest only
  for (;;) {
    size_t end = first + 1;  // rows [first, end) go on the page
    if (tops[end] - top > body_height) {
      const double cut = CutInRow(breaks.line_cuts[first], top, body_height);
      if (cut > top) {
        pages.push_back({top, cut});
        top = cut;
        continue;
      }
      // The row's last line alone is taller than the body: it gets the page.
    } else {
      while (end < n && tops[end + 1] - top <= body_height) ++end;
      if (end < n && tops[end + 1] - tops[end] > body_height) {
        // The next row fits no page whole: it starts here, with as many of
        // its lines as fit (so a heading before it keeps its company too).
        const double cut = CutInRow(breaks.line_cuts[end], top, body_height);
        if (cut > tops[end] && cut - top <= body_height) {
          pages.push_back({top, cut});
          top = cut;
          first = end;
          continue;
        }
      }
      if (end < n && end - 1 > first && IsHeading(rows, end - 1)) --end;
    }
    pages.push_back({top, tops[end]});
    if (end == n) break;
    top = tops[end];
    first = end;
  }
  return pages;
}

struct PageFrame {
  QRectF header;
  QRectF body;
  QRectF footer;
};

PageFrame FramePage(const ReportDocument& report, const QPagedPaintDevice& device) {
  const QRectF page(0, 0, device.width(), device.height());
  const std::vector<std::string> lines = report.HeaderLines();
  double header_height = 0;
  for (size_t i = 0; i < lines.size(); ++i)
    header_height +=
        QFontMetricsF(ReportFont(i == 0 ? 11 : 9, i == 0), const_cast<QPagedPaintDevice*>(&device))
            .lineSpacing();
  if (header_height > 0) header_height += TwipsToDevice(kHeaderGapTwips, device);
  double footer_height = 0;
  if (!report.Footer().empty())
    footer_height =
        QFontMetricsF(ReportFont(9), const_cast<QPagedPaintDevice*>(&device)).lineSpacing() +
        TwipsToDevice(kFooterGapTwips, device);
  PageFrame f;
  f.header = QRectF(page.left(), page.top(), page.width(), header_height);
  f.footer = QRectF(page.left(), page.bottom() - footer_height, page.width(), footer_height);
  f.body = QRectF(page.left(), f.header.bottom(), page.width(),
                  std::max(1.0, f.footer.top() - f.header.bottom()));
  return f;
}

// One header line: the parts between tabs go left, right, or left, centre
// and right.
void DrawHeaderLine(QPainter& painter, const QRectF& line, const std::string& text) {
  std::vector<QString> parts;
  for (const QString& p : QString::fromStdString(text).split('\t')) parts.push_back(p);
  const Qt::Alignment v = Qt::AlignVCenter;
  if (parts.size() == 1) {
    painter.drawText(line, Qt::AlignLeft | v, parts[0]);
  } else if (parts.size() == 2) {
    painter.drawText(line, Qt::AlignLeft | v, parts[0]);
    painter.drawText(line, Qt::AlignRight | v, parts[1]);
  } else {
    painter.drawText(line, Qt::AlignLeft | v, parts[0]);
    painter.drawText(line, Qt::AlignHCenter | v, parts[1]);
    QStringList rest;
    for (size_t i = 2; i < parts.size(); ++i) rest << parts[i];
    painter.drawText(line, Qt::AlignRight | v, rest.join(' '));
  }
}

void DrawHeader(QPainter& painter, const ReportDocument& report, const PageFrame& frame,
                QPaintDevice& device) {
  const std::vector<std::string> lines = report.HeaderLines();
  if (lines.empty()) return;
  double y = frame.header.top();
  for (size_t i = 0; i < lines.size(); ++i) {
    const QFont font = ReportFont(i == 0 ? 11 : 9, i == 0);
    painter.setFont(font);
    const double h = QFontMetricsF(font, &device).lineSpacing();
    DrawHeaderLine(painter, QRectF(frame.header.left(), y, frame.header.width(), h), lines[i]);
    y += h;
  }
  const double rule_y = y + TwipsToDevice(kHeaderGapTwips, device) / 3;
  painter.save();
  painter.setPen(QPen(Qt::black, TwipsToDevice(10, device)));
  painter.drawLine(QPointF(frame.header.left(), rule_y), QPointF(frame.header.right(), rule_y));
  painter.restore();
}

void DrawFooter(QPainter& painter, const ReportDocument& report, const PageFrame& frame, int page) {
  if (report.Footer().empty()) return;
  painter.setFont(ReportFont(9));
  painter.drawText(frame.footer, Qt::AlignHCenter | Qt::AlignBottom,
                   QString::fromStdString(report.FooterForPage(page)));
}

// Paints the table's stretch of one page, the painter's origin at the
// document's. The layout paints whole cells, every line of a cell that
// touches its clip, and a PDF keeps the text of a line painted outside the
// painter's clip: a row only partly on the page (one taller than a page) is
// therefore painted line by line, and the layout's clip stays half a device
// unit inside the rows that lie wholly on the page, far less than a line.
void DrawSlice(QPainter& painter, const LaidOutTable& table, const PageSlice& slice) {
  if (!table.table) return;
  const std::vector<double>& tops = table.breaks.row_tops;
  QAbstractTextDocumentLayout* layout = table.doc->documentLayout();
  painter.setPen(Qt::black);
  // The lines of a row that start on this page (the cuts are line tops).
  const auto draw_lines = [&](size_t r) {
    for (const QTextTableCell& cell : RowCells(*table.table, static_cast<int>(r)))
      ForEachCellLine(*layout, cell, [&](const QTextLine& line, const QPointF& origin) {
        const double top = origin.y() + line.y();
        if (top > slice.top - kClipInset && top < slice.bottom - kClipInset)
          line.draw(&painter, origin);
      });
  };
  // Top to bottom, so that the file's text reads in the page's order: the
  // rest of a row begun on an earlier page, the whole rows, the start of a
  // row going on to the next page.
  double whole_top = slice.bottom;
  double whole_bottom = slice.top;
  std::vector<size_t> after;
  for (size_t r = 0; r + 1 < tops.size(); ++r) {
    if (tops[r + 1] <= slice.top || tops[r] >= slice.bottom) continue;
    if (tops[r] >= slice.top && tops[r + 1] <= slice.bottom) {
      whole_top = std::min(whole_top, tops[r]);
      whole_bottom = std::max(whole_bottom, tops[r + 1]);
    } else if (tops[r] < slice.top) {
      draw_lines(r);
    } else {
      after.push_back(r);
    }
  }
  if (whole_top < whole_bottom) {
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, whole_top + kClipInset, painter.device()->width(),
                          whole_bottom - whole_top - 2 * kClipInset);
    context.palette.setColor(QPalette::Text, Qt::black);
    layout->draw(&painter, context);
  }
  for (const size_t r : after) draw_lines(r);
}

}  // namespace

void ApplyReportPageSetup(QPagedPaintDevice& device) {
  device.setPageLayout(QPageLayout(
      QPageSize(QPageSize::A4), QPageLayout::Portrait,
      QMarginsF(kMarginInches, kMarginInches, kMarginInches, kMarginInches), QPageLayout::Inch));
}

int RenderReport(const ReportDocument& report, QPagedPaintDevice& device) {
  QPainter painter;
  if (!painter.begin(&device))
    throw OrvError(75, "RenderReport", "The report cannot be painted on this device");
  const PageFrame frame = FramePage(report, device);
  const LaidOutTable table = BuildTable(report, device, frame.body.size());
  // A comparison keeps its headings with their rows as report A (or B,
  // where A has no line) has them.
  std::vector<ReportRow> sides;
  for (const ComparedRow& r : report.ComparedRows())
    sides.push_back(r.a.text.empty() && r.a.value.empty() ? r.b : r.a);
  const std::vector<PageSlice> pages =
      PageRows(report.IsComparison() ? sides : report.Rows(), table.breaks, frame.body.height());
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) device.newPage();
    DrawHeader(painter, report, frame, device);
    DrawFooter(painter, report, frame, static_cast<int>(i) + 1);
    painter.save();
    const QRectF clip(0, pages[i].top, frame.body.width(), pages[i].bottom - pages[i].top);
    painter.translate(frame.body.left(), frame.body.top() - clip.top());
    painter.setClipRect(clip);
    DrawSlice(painter, table, pages[i]);
    painter.restore();
  }
  int count = static_cast<int>(pages.size());
  if (const ExposureChartData* chart = report.ExposureChart()) {
    device.newPage();
    ++count;
    DrawHeader(painter, report, frame, device);
    DrawFooter(painter, report, frame, count);
    PaintExposureChart(painter, frame.body, *chart);
  }
  painter.end();
  return count;
}

void WriteReportPdf(const ReportDocument& report, const std::string& path) {
  // Written beside the target and renamed over it once complete, so a
  // failure never leaves a half-written file nor spoils an existing one.
  QSaveFile file(QString::fromStdString(path));
  const auto fail = [&](const QString& reason) {
    file.cancelWriting();
    throw OrvError(75, "WriteReportPdf",
                   "Cannot write the PDF file " + path + ": " + reason.toStdString());
  };
  if (path.empty()) fail("no file name");
  if (!file.open(QIODevice::WriteOnly)) fail(file.errorString());
  {
    QPdfWriter writer(&file);
    writer.setResolution(600);
    writer.setTitle("Dust Model Output");
    writer.setCreator("orvdusto");
    ApplyReportPageSetup(writer);
    try {
      RenderReport(report, writer);
    } catch (const OrvError& e) {
      fail(QString::fromStdString(e.Description()));
    }
  }
  if (!file.commit()) fail(file.errorString());
}

}  // namespace orv::dusto

#include "htmlwriter.h"

#include "version.h"

#include <QCryptographicHash>

namespace {
constexpr qsizetype kPieceBytes = 256 * 1024;

// The style and the script are the page's only code: the Content-Security-Policy names them by
// their hashes, so nothing else would run or apply even if it got into the page.
constexpr char kStyle[] = R"css(
body{font:14px/1.4 system-ui,"DejaVu Sans",sans-serif;margin:1.5em;color:#1a1a1a;background:#fff;display:flex;flex-direction:column}
header{order:-2}
#count{order:-1;margin:.1em 0 1em;color:#444}
h1{font-size:1.5em;margin:0 0 .3em}
header p{margin:.1em 0;color:#444}
#controls{margin:0 0 .8em}
#controls input{font:inherit;padding:.2em .4em}
#shown{margin-left:1em;color:#444}
figure{margin:0 0 1em}
figure svg{max-width:100%;height:auto}
table{border-collapse:collapse;align-self:flex-start}
th,td{padding:.25em .7em;border-bottom:1px solid #d0d0d0;text-align:left;white-space:pre}
th{background:#ececec;border-bottom:2px solid #808080;cursor:pointer;user-select:none}
th:focus{outline:2px solid #1a5fb4}
th[aria-sort=ascending]::after{content:" \25B2"}
th[aria-sort=descending]::after{content:" \25BC"}
.n{text-align:right;font-variant-numeric:tabular-nums}
tbody tr:nth-child(even){background:#f6f6f6}
@media print{body{margin:0}#controls{display:none}thead{display:table-header-group}tr{break-inside:avoid}th{cursor:auto}th::after{content:none}}
)css";

constexpr char kScript[] = R"js(
(function () {
  'use strict';
  var table = document.getElementById('rows');
  var body = table.tBodies[0];
  var titles = table.tHead.rows[0].cells;
  var decimal = table.getAttribute('data-decimal');
  var minus = table.getAttribute('data-minus');
  var filter = document.getElementById('filter');
  var shown = document.getElementById('shown');
  var collator = new Intl.Collator(undefined, {sensitivity: 'base'});
  document.getElementById('controls').hidden = false;
  function numberOf(text) {
    var value = parseFloat(text.split(minus).join('-').split(decimal).join('.'));
    return isNaN(value) ? -Infinity : value;
  }
  function sortBy(column) {
    var title = titles[column];
    var descending = title.getAttribute('aria-sort') === 'ascending';
    for (var i = 0; i < titles.length; ++i) titles[i].removeAttribute('aria-sort');
    title.setAttribute('aria-sort', descending ? 'descending' : 'ascending');
    var number = title.className === 'n';
    var sign = descending ? -1 : 1;
    var keyed = Array.prototype.map.call(body.rows, function (row, index) {
      var text = row.cells[column].textContent;
      return {key: number ? numberOf(text) : text, index: index, row: row};
    });
    keyed.sort(function (a, b) {
      var order = number ? (a.key < b.key ? -1 : a.key > b.key ? 1 : 0)
                         : collator.compare(a.key, b.key);
      return order !== 0 ? sign * order : a.index - b.index;
    });
    var fragment = document.createDocumentFragment();
    keyed.forEach(function (k) { fragment.appendChild(k.row); });
    body.appendChild(fragment);
  }
  Array.prototype.forEach.call(titles, function (title, column) {
    title.tabIndex = 0;
    title.addEventListener('click', function () { sortBy(column); });
    title.addEventListener('keydown', function (event) {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        sortBy(column);
      }
    });
  });
  filter.addEventListener('input', function () {
    var query = filter.value.toLowerCase();
    var count = 0;
    Array.prototype.forEach.call(body.rows, function (row) {
      var match = query === '' || Array.prototype.some.call(row.cells, function (cell) {
        return cell.textContent.toLowerCase().indexOf(query) >= 0;
      });
      row.hidden = !match;
      if (match) ++count;
    });
    shown.textContent = query === '' ? '' : count + ' of ' + body.rows.length + ' rows shown';
  });
})();
)js";

QByteArray HashSource(const QByteArray& code) {
    return "'sha256-" + QCryptographicHash::hash(code, QCryptographicHash::Sha256).toBase64() + "'";
}

QByteArray Escaped(QStringView text) {
    QByteArray out;
    AppendHtmlEscaped(out, text);
    return out;
}

/// The chart's SVG document as an element of the page: what comes before its <svg> (the XML
/// declaration, a document type) has no place inside HTML.
QByteArrayView SvgElement(const QByteArray& document) {
    const qsizetype at = document.indexOf("<svg");
    return at < 0 ? QByteArrayView() : QByteArrayView(document).sliced(at);
}
} // namespace

QByteArray HtmlPageStyle() {
    return QByteArray(kStyle);
}

QByteArray HtmlPageScript() {
    return QByteArray(kScript);
}

void AppendHtmlEscaped(QByteArray& out, QStringView text) {
    qsizetype plain = 0; // start of the run of characters that go as they are
    auto flush = [&](qsizetype upTo) {
        if (upTo > plain)
            out += text.sliced(plain, upTo - plain).toUtf8();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char* reference = nullptr;
        switch (c) {
        case u'&':
            reference = "&amp;";
            break;
        case u'<':
            reference = "&lt;";
            break;
        case u'>':
            reference = "&gt;";
            break;
        case u'"':
            reference = "&quot;";
            break;
        case u'\'':
            reference = "&#39;";
            break;
        default:
            break;
        }
        // Control characters other than tab and line feed are written as references, so that
        // no parser drops or changes them; NUL has none and becomes U+FFFD, as a parser makes it.
        const bool control = (c < 0x20 && c != u'\t' && c != u'\n') || c == 0x7F;
        if (!reference && !control)
            continue;
        flush(i);
        if (reference)
            out += reference;
        else if (c == 0)
            out += "\xEF\xBF\xBD";
        else
            out += "&#" + QByteArray::number(int(c)) + ';';
        plain = i + 1;
    }
    flush(text.size());
}

HtmlWriter::HtmlWriter(const ReportPageInfo& info, ReportOutput output)
    : ShownCellSink(info.locale), m_info(info), m_output(std::move(output)) {
    m_out.reserve(kPieceBytes + 64 * 1024);
}

void HtmlWriter::start(const QList<ResultColumn>& columns) {
    const QByteArray style = HtmlPageStyle();
    const QByteArray script = HtmlPageScript();
    m_out += "<!DOCTYPE html>\n<html lang=\"";
    m_out += Escaped(m_info.locale.bcp47Name());
    m_out += "\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
             "style-src ";
    m_out += HashSource(style);
    m_out += "; script-src ";
    m_out += HashSource(script);
    m_out += "; img-src data:; base-uri 'none'; form-action 'none'\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             "<meta name=\"generator\" content=\"ZV Fee Stats ";
    m_out += Escaped(ProgramVersion());
    m_out += "\">\n<title>";
    m_out += Escaped(m_info.title);
    m_out += "</title>\n<style>";
    m_out += style;
    m_out += "</style>\n</head>\n<body>\n<header>\n<h1>";
    m_out += Escaped(m_info.title);
    m_out += "</h1>\n";
    if (const QString range = ReportRangeText(m_info); !range.isEmpty())
        m_out += "<p id=\"range\">" + Escaped(range) + "</p>\n";
    m_out += "<p id=\"made\">" + Escaped(ReportMadeText(m_info)) + "</p>\n</header>\n";
    if (const QByteArrayView svg = SvgElement(m_info.chartSvg); !svg.isEmpty()) {
        m_out += "<figure id=\"chart\">\n";
        m_out += svg;
        m_out += "\n</figure>\n";
    }
    m_out += "<div id=\"controls\" hidden><label>Filter <input type=\"search\" id=\"filter\">"
             "</label><span id=\"shown\" aria-live=\"polite\"></span></div>\n";
    m_out += "<table id=\"rows\" data-decimal=\"";
    m_out += Escaped(m_locale.decimalPoint());
    m_out += "\" data-minus=\"";
    m_out += Escaped(m_locale.negativeSign());
    m_out += "\">\n<thead><tr>";
    for (const ResultColumn& column : columns) {
        const bool number = column.kind == ColumnKind::Integer || column.kind == ColumnKind::Float;
        m_out += number ? "<th class=\"n\">" : "<th>";
        AppendHtmlEscaped(m_out, column.name);
        m_out += "</th>";
    }
    m_out += "</tr></thead>\n<tbody>\n";
}

void HtmlWriter::cell(const QString& shown, bool number) {
    if (!m_rowOpen) {
        m_out += "<tr>";
        m_rowOpen = true;
    }
    m_out += number ? "<td class=\"n\">" : "<td>";
    AppendHtmlEscaped(m_out, shown);
    m_out += "</td>";
}

void HtmlWriter::endRow() {
    m_out += "</tr>\n";
    m_rowOpen = false;
    ++m_rows;
    if (m_out.size() >= kPieceBytes)
        flushPiece();
}

void HtmlWriter::finish() {
    m_out += "</tbody>\n</table>\n<p id=\"count\">";
    m_out += Escaped(ReportRowsText(m_rows, m_info.locale));
    m_out += "</p>\n<script>";
    m_out += HtmlPageScript();
    m_out += "</script>\n</body>\n</html>\n";
    flushPiece();
}

void HtmlWriter::flushPiece() {
    if (!m_out.isEmpty())
        m_output(m_out);
    m_out.resize(0);
}

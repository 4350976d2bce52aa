#include "browser/SHtmlScript.h"

#include "browser/SIEControl.h"
#include "browser/SIEPage.h"
#include "foundation/SDebug.h"
#include "gui/SQtString.h"

namespace {

// The library, evaluated in front of every call. It keeps its table on the window object of
// the application's script world, which a new document replaces.
const char* const library = R"JS((function () {
  var R = window.__nukDom;
  if (!R) {
    R = window.__nukDom = { t: Math.random().toString(36).slice(2) + Date.now().toString(36), r: [] };
  }
  function put(x) { R.r.push(x); return R.r.length - 1; }
  function get(t, h) { return t === R.t && h >= 0 && h < R.r.length ? R.r[h] : null; }
  function isElement(e) { return e && e.nodeType === 1; }
  return {
    doc: function () { return document && document.documentElement ? R.t : ''; },
    byId: function (t, id) {
      if (t !== R.t) return -2;
      var e = document.getElementById(id);
      if (e) return put(e);
      return !document.body || !document.body.firstChild ? -3 : -1;
    },
    byTag: function (t, tag) {
      if (t !== R.t) return -2;
      return put(document.getElementsByTagName(tag));
    },
    classByTag: function (t, tag, id, matching, others) {
      if (t !== R.t) return -2;
      var list = document.getElementsByTagName(tag), n = 0;
      for (var i = 0; i < list.length; ++i) {
        var e = list[i];
        var eid = e.id === undefined ? (e.getAttribute('id') || '') : String(e.id);
        var plain = typeof e.className === 'string';
        var cls = plain ? e.className : (e.getAttribute('class') || '');
        if (!eid || !cls) continue;
        var value = eid === id ? matching : others;
        if (plain) e.className = value; else e.setAttribute('class', value);
        ++n;
      }
      return n;
    },
    count: function (t, h) { var c = get(t, h); return c && !isElement(c) ? c.length : -1; },
    at: function (t, h, i) {
      var c = get(t, h);
      var e = c && !isElement(c) && i >= 0 ? c[i] : null;
      return e ? put(e) : -1;
    },
    get: function (t, h, name) {
      var e = get(t, h);
      if (!isElement(e)) return null;
      if (name === 'className') return typeof e.className === 'string' ? e.className : (e.getAttribute('class') || '');
      if (name === 'id') return e.id === undefined ? (e.getAttribute('id') || '') : String(e.id);
      if (name === 'innerHTML') return String(e.innerHTML);
      return null;
    },
    set: function (t, h, name, value) {
      var e = get(t, h);
      if (!isElement(e)) return false;
      if (name === 'className') {
        if (typeof e.className === 'string') e.className = value; else e.setAttribute('class', value);
      } else if (name === 'innerHTML') {
        e.innerHTML = value;
      } else {
        return false;
      }
      return true;
    }
  };
})())JS";

}  // namespace

QString SHtmlScript::literal(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
            return QString::number(value.toLongLong());
        case QMetaType::Double:
            return QString::number(value.toDouble(), 'g', 17);
        case QMetaType::Bool:
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        default:
            break;
    }
    const QString text = value.toString();
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
            case u'"':
                out += QStringLiteral("\\\"");
                break;
            case u'\\':
                out += QStringLiteral("\\\\");
                break;
            case u'\n':
                out += QStringLiteral("\\n");
                break;
            case u'\r':
                out += QStringLiteral("\\r");
                break;
            case u'\t':
                out += QStringLiteral("\\t");
                break;
            default:
                // Control characters, the line separators JavaScript counts as line ends, and
                // '<' (a literal "</script>" never matters here, but costs nothing) as escapes.
                if (u < 0x20 || u == 0x2028 || u == 0x2029 || u == u'<' || u == 0x7F)
                    out += QStringLiteral("\\u%1").arg(static_cast<unsigned>(u), 4, 16, QLatin1Char('0'));
                else
                    out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString SHtmlScript::script(const char* op, const QVariantList& arguments) {
    QString s = QString::fromLatin1(library);
    s += QLatin1Char('.');
    s += QLatin1String(op);
    s += QLatin1Char('(');
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i > 0) s += QLatin1Char(',');
        s += literal(arguments.at(i));
    }
    s += QLatin1Char(')');
    return s;
}

bool SHtmlScript::call(const QPointer<SIEPage>& page, const char* op, const QVariantList& arguments,
                       QVariant* result) {
    if (result) *result = QVariant();
    if (!page) return false;
    if (!page->runScript(script(op, arguments), result, SIEControl::scriptTimeoutMs)) {
        globalDebug().printf("SHtmlScript::call(..) %s: keine Antwort vom Browser", op);
        return false;
    }
    return true;
}

SString SHtmlScript::toText(const QVariant& value, bool entities) {
    const QString text = value.toString();
    if (!entities) return toSString(text);
    // Characters the code page cannot hold become references the browser reads back.
    QString out;
    out.reserve(text.size());
    const auto codePoints = text.toUcs4();
    for (char32_t cp : codePoints) {
        const QString one = QString::fromUcs4(&cp, 1);
        if (toQString(toSString(one)) == one)
            out += one;
        else
            out += QStringLiteral("&#%1;").arg(static_cast<unsigned>(cp));
    }
    return toSString(out);
}

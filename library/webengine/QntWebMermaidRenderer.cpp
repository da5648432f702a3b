#include "library/webengine/QntWebMermaidRenderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include <algorithm>
#include <atomic>

Q_LOGGING_CATEGORY(lcMermaidPage, "quintora.mermaid.page")

// Refuses every request of the page except the files of the host page's own folder: the
// page never reaches the network, whatever a diagram text holds.
class QntMermaidRequestGuard : public QWebEngineUrlRequestInterceptor
{
public:
    explicit QntMermaidRequestGuard(QObject *parent)
        : QWebEngineUrlRequestInterceptor(parent)
    {
    }
    void setFolder(const QString &folder) { m_folder = folder; }
    int refused() const { return m_refused.load(); }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        if (url.isLocalFile() && !m_folder.isEmpty()) {
            const QString path = QFileInfo(url.toLocalFile()).absoluteFilePath();
            if (path.startsWith(m_folder + QLatin1Char('/'))
                && !path.contains(QLatin1String("/../")))
                return;
        }
        ++m_refused;
        qCInfo(lcMermaidPage).noquote()
            << "refused a request of the Mermaid page:" << url.toDisplayString().left(200);
        info.block(true);
    }

private:
    QString m_folder;
    std::atomic<int> m_refused{0};
};

namespace {

// The page follows no link and opens no window: only the host page itself loads.
class HostPage : public QWebEnginePage
{
public:
    HostPage(QWebEngineProfile *profile, QObject *parent)
        : QWebEnginePage(profile, parent)
    {
    }
    void setHostUrl(const QUrl &url) { m_hostUrl = url; }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        return isMainFrame && url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) == m_hostUrl;
    }
    QWebEnginePage *createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int line,
                                  const QString &) override
    {
        qCDebug(lcMermaidPage).noquote() << "page:" << line << message.left(300);
    }

private:
    QUrl m_hostUrl;
};

QString jsString(const QString &text)
{
    // A JSON string is a JavaScript string literal; the text never becomes markup or code.
    const QByteArray json =
        QJsonDocument(QJsonObject{{QStringLiteral("s"), text}}).toJson(QJsonDocument::Compact);
    // {"s":"..."} -> "..."
    QString literal = QString::fromUtf8(json.mid(5, json.size() - 6));
    // U+2028 and U+2029 end lines in older JavaScript; escape them as well.
    literal.replace(QChar(0x2028), QLatin1String("\\u2028"));
    literal.replace(QChar(0x2029), QLatin1String("\\u2029"));
    return literal;
}

constexpr int kMaxEdges = 500;

// Run once in every freshly loaded page, before its first render. Mermaid copies its whole
// configuration (some eight hundred properties, most of them theme colours) on every read of it,
// hundreds of times per diagram, defining each property with Object.defineProperty, which is
// several times slower than assigning it. Defining a new, plain, writable, enumerable and
// configurable data property of an ordinary extensible object whose prototype is Object.prototype
// and which neither has nor inherits a property of that name is the same as assigning it; only
// that case is taken the quick way, every other call goes to the engine's own function.
// The page's engine also lacks URL.canParse, which Mermaid asks whether a link is a URL with;
// it is given here, answering as the standard one does.
const char kPageSetUpScript[] = R"JS(
(function () {
  var define = Object.defineProperty;
  if (typeof URL === 'function' && typeof URL.canParse !== 'function') {
    define(URL, 'canParse', {
      value: function canParse(url) {
        if (arguments.length < 1) {
          throw new TypeError("Failed to execute 'canParse' on 'URL': 1 argument required.");
        }
        try {
          new URL(url, arguments.length > 1 ? arguments[1] : undefined);
          return true;
        } catch (e) {
          return false;
        }
      },
      writable: true, enumerable: false, configurable: true
    });
  }
  var plain = Object.prototype;
  var hasOwn = plain.hasOwnProperty;
  var prototypeOf = Object.getPrototypeOf;
  var isExtensible = Object.isExtensible;
  var defineProperty = function defineProperty(object, key, descriptor) {
    if (typeof key === 'string' && typeof object === 'object' && object !== null
        && typeof descriptor === 'object' && descriptor !== null
        && descriptor.writable === true && descriptor.enumerable === true
        && descriptor.configurable === true && !('get' in descriptor) && !('set' in descriptor)
        && prototypeOf(object) === plain && !(key in plain) && !hasOwn.call(object, key)
        && isExtensible(object)) {
      object[key] = descriptor.value;
      return object;
    }
    return define(object, key, descriptor);
  };
  define(Object, 'defineProperty', { value: defineProperty, writable: true, enumerable: false,
                                     configurable: true });
})();
)JS";

// Reads the start tags of a picture as Mermaid gives it, without making a document of it: their
// names and attributes, and where each attribute value and each tag's end lie, so that
// attributes can be set in the text. Comments, character data and the contents of style and
// script elements are passed over. Mermaid's pictures quote every attribute value, so a '>'
// inside one never ends its tag.
const char kPageTagsScript[] = R"JS(
(function () {
  var tagPattern = /<!--[\s\S]*?-->|<!\[CDATA\[[\s\S]*?\]\]>|<(style|script)\b(?:[^>"']|"[^"]*"|'[^']*')*>[\s\S]*?<\/\1\s*>|<([A-Za-z][^\s\/>]*)((?:[^>"']|"[^"]*"|'[^']*')*)>/g;
  var attributePattern = /([^\s=\/"']+)\s*=\s*(?:"([^"]*)"|'([^']*)')/g;
  var entities = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'" };
  var decode = function (value) {
    return value.indexOf('&') < 0 ? value : value.replace(/&(#x[0-9a-fA-F]+|#[0-9]+|[a-z]+);/g,
      function (all, name) {
        if (name.charAt(0) === '#') {
          var code = name.charAt(1) === 'x' ? parseInt(name.substring(2), 16)
                                            : parseInt(name.substring(1), 10);
          return code <= 0x10FFFF ? String.fromCodePoint(code) : all;
        }
        return Object.prototype.hasOwnProperty.call(entities, name) ? entities[name] : all;
      });
  };
  var encode = function (value) {
    return String(value).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
      .replace(/"/g, '&quot;').replace(/\t/g, '&#9;').replace(/\n/g, '&#10;')
      .replace(/\r/g, '&#13;');
  };
  // Each tag: name, attributes (a Map of name -> { value, start, end, whole } of the raw value),
  // classes, and the offset where a new attribute goes (before '>' or '/>'). A Map is quicker
  // to fill than an object without a prototype, and a picture has thousands of tags.
  window.qntTags = function (svg) {
    var tags = [];
    var m;
    tagPattern.lastIndex = 0;
    while ((m = tagPattern.exec(svg)) !== null) {
      if (!m[2]) { continue; }
      var raw = m[3];
      var rawStart = m.index + 1 + m[2].length;
      var attributes = new Map();
      var a;
      attributePattern.lastIndex = 0;
      while ((a = attributePattern.exec(raw)) !== null) {
        var quoted = a[2] !== undefined ? a[2] : a[3];
        var valueEnd = rawStart + a.index + a[0].length - 1;
        if (!attributes.has(a[1])) {
          attributes.set(a[1], { value: decode(quoted), start: valueEnd - quoted.length,
                                 end: valueEnd, whole: rawStart + a.index });
        }
      }
      var end = m.index + m[0].length - 1;
      var trimmed = raw.trimEnd();
      if (trimmed.charAt(trimmed.length - 1) === '/') {
        end = rawStart + trimmed.length - 1;
      }
      var cls = attributes.get('class');
      tags.push({ name: m[2], attributes: attributes, end: end,
                  classes: cls ? cls.value.split(/\s+/) : [] });
    }
    return tags;
  };
  // The text with the attributes set: edits is a list of { tag, name, value }, a null value
  // removing the attribute; a later edit of the same attribute of a tag wins, as it would when
  // set on a document.
  window.qntSetAttributes = function (svg, edits) {
    var byTag = new Map();
    edits.forEach(function (e) {
      var set = byTag.get(e.tag);
      if (!set) { set = new Map(); byTag.set(e.tag, set); }
      set.set(e.name, e.value);
    });
    var cuts = [];
    byTag.forEach(function (set, tag) {
      var added = '';
      set.forEach(function (value, name) {
        var old = tag.attributes.get(name);
        if (old && value === null) {
          cuts.push({ start: old.whole, end: old.end + 1, text: '' });
        } else if (old) {
          cuts.push({ start: old.start, end: old.end, text: encode(value) });
        } else if (value !== null) {
          added += ' ' + name + '="' + encode(value) + '"';
        }
      });
      if (added) { cuts.push({ start: tag.end, end: tag.end, text: added }); }
    });
    cuts.sort(function (x, y) { return x.start - y.start; });
    var out = [];
    var at = 0;
    cuts.forEach(function (c) { out.push(svg.substring(at, c.start), c.text); at = c.end; });
    out.push(svg.substring(at));
    // The one entity of HTML that XML does not know.
    return out.join('').replace(/&nbsp;/g, '&#160;');
  };
  // Makes the picture plain XML that leads nowhere: links lose their targets (the picture is
  // read into a drawing, never followed), and the xlink prefix Mermaid may leave undeclared
  // gets its declaration. Attribute values lose the white space around them, as they would
  // through Mermaid's own cleaning of the picture (the page asks Mermaid not to clean it).
  window.qntPlainEdits = function (svg, tags) {
    var edits = [];
    tags.forEach(function (tag) {
      tag.attributes.forEach(function (attribute, name) {
        var value = attribute.value;
        var trimmed = value.trim();
        if (trimmed !== value) { edits.push({ tag: tag, name: name, value: trimmed }); }
      });
      if (tag.name === 'a') {
        ['href', 'xlink:href'].forEach(function (name) {
          if (tag.attributes.has(name)) { edits.push({ tag: tag, name: name, value: null }); }
        });
      }
    });
    var root = tags[0];
    if (root && root.name === 'svg' && !root.attributes.has('xmlns:xlink')
        && svg.indexOf('xlink:') >= 0) {
      edits.push({ tag: root, name: 'xmlns:xlink', value: 'http://www.w3.org/1999/xlink' });
    }
    return edits;
  };
})();
)JS";

const char kRenderScript[] = R"JS(
(function () {
  var serial = %1;
  var done = function (payload) {
    window.__qntResult = payload;
    document.title = 'qnt-done-' + serial;
  };
  // Mermaid's message, and where in the text it went wrong: the grammar parsers give the
  // place of the token they stopped at (lines from 1, columns from 0), the others say it in
  // their message ("line 3, column 7").
  var failure = function (e) {
    var payload = { error: String((e && e.message) || e), line: 0, column: 0 };
    var hash = e && e.hash;
    if (hash && hash.loc && typeof hash.loc.first_line === 'number') {
      payload.line = hash.loc.first_line;
      payload.column = (hash.loc.first_column || 0) + 1;
    } else if (hash && typeof hash.line === 'number') {
      payload.line = hash.line + 1;
    } else {
      var m = /line (\d+)(?:,? column (\d+))?/i.exec(payload.error);
      if (m) { payload.line = +m[1]; payload.column = m[2] ? +m[2] : 0; }
    }
    return payload;
  };
  try {
    if (typeof mermaid === 'undefined') { done({ error: 'no-script' }); return; }
    var text = %2;
    var themeCSS = %3;
    var input = document.getElementById('mermaid_input');
    if (input) { input.textContent = text; }
    // Every render starts again from these settings, whatever a text's own directives changed,
    // so they are given once per page and again only when the stylesheet changed.
    // Security: Mermaid's 'strict' level differs from 'loose' in three things. It cleans the
    // finished picture with DOMPurify (a third of a render), which matters only to a page that
    // puts the picture into its own document; this one hands it over as text, which is read
    // into a drawing and never run. It lets links through only when they look safe; here every
    // link loses its target (qntPlainEdits) and the page follows none. It refuses 'click ...
    // call' functions; Mermaid only binds them when asked to (bindFunctions), which this page
    // never does. Labels are cleaned the same way at both levels, and a text cannot change the
    // level (Mermaid keeps securityLevel out of a text's directives).
    if (window.qntThemeCSS !== themeCSS) {
      window.qntThemeCSS = undefined;
      mermaid.initialize({
        startOnLoad: false, securityLevel: 'loose', theme: 'forest', htmlLabels: false,
        deterministicIds: true, suppressErrorRendering: true, themeCSS: themeCSS,
        maxTextSize: %4, maxEdges: %5,
        flowchart: { htmlLabels: false, useMaxWidth: false },
        sequence: { useMaxWidth: false }, class: { htmlLabels: false, useMaxWidth: false },
        state: { useMaxWidth: false }, gantt: { useMaxWidth: false }
      });
      window.qntThemeCSS = themeCSS;
    }
    var clear = function () { if (input) { input.textContent = ''; } };
    var svgId = 'qnt-svg-' + serial;
    var prefix = svgId + '-';
    var isFlowModel = function (db) {
      return !!db && typeof db.getVertices === 'function' && typeof db.getEdges === 'function';
    };
    var listOf = function (items) {
      return items instanceof Map ? Array.from(items.values()) : Object.values(items || {});
    };
    var attributeOf = function (tag, name) {
      var a = tag.attributes.get(name);
      return a ? a.value : null;
    };
    var isNode = function (tag) { return tag.name === 'g' && tag.classes.indexOf('node') >= 0; };
    var isEdge = function (tag) { return tag.name === 'path' && tag.attributes.has('data-id'); };
    // True when the model is exactly the one the picture was drawn from: every node and edge of
    // the picture is in the model and every node and edge of the model in the picture.
    var fits = function (db, tags) {
      var domIds = Object.create(null);
      var vertices = listOf(db.getVertices());
      vertices.forEach(function (v) { domIds[v.domId] = true; });
      var edgeIds = Object.create(null);
      var edges = db.getEdges();
      edges.forEach(function (e) { edgeIds[e.id] = true; });
      var drawn = 0;
      var paths = 0;
      for (var i = 0; i < tags.length; ++i) {
        if (isNode(tags[i])) {
          var id = attributeOf(tags[i], 'id') || '';
          if (id.indexOf(prefix) !== 0 || domIds[id.substring(prefix.length)] !== true) {
            return false;
          }
          ++drawn;
        } else if (isEdge(tags[i])) {
          if (edgeIds[attributeOf(tags[i], 'data-id')] !== true) { return false; }
          ++paths;
        }
      }
      return drawn === vertices.length && paths === edges.length;
    };
    // The model of the diagram the picture shows. Mermaid's parser for a kind of diagram keeps
    // the model of the text it parsed last, which is this render's; a parser is known once the
    // text of its kind has been parsed here, and the text is parsed again when it is not known
    // yet or its model does not fit the picture.
    var parsers = window.qntParsers || (window.qntParsers = Object.create(null));
    var modelOf = function (type, tags) {
      var known = parsers[type];
      if (known && !known.flow) { return Promise.resolve(null); }
      var kept = known && known.parser.parser && known.parser.parser.yy;
      if (isFlowModel(kept) && fits(kept, tags)) { return Promise.resolve(kept); }
      return mermaid.mermaidAPI.getDiagramFromText(text).then(function (d) {
        if (d && d.parser && d.type === type) {
          parsers[type] = { parser: d.parser, flow: isFlowModel(d.db) };
        }
        return d && d.db;
      });
    };
    // Class and state diagrams are drawn from a list of nodes and edges their model gives; the
    // text is parsed again for it, as their models keep no list of what was drawn.
    var graphKinds = { 'class': true, classDiagram: true, state: true, stateDiagram: true };
    var graphOf = function () {
      return mermaid.mermaidAPI.getDiagramFromText(text).then(function (d) {
        var data = d && d.db && typeof d.db.getData === 'function' ? d.db.getData() : null;
        return data && Array.isArray(data.nodes) && Array.isArray(data.edges) ? data : null;
      });
    };
    // Names the nodes, the groups (composite states, namespaces) and the edge ends of such a
    // picture. A node's element id is the prefix and its dom id; should the numbers in dom ids
    // differ, the id that ends the element id (before its number) names it.
    var nameGraph = function (data, tags, edits) {
      var byDomId = new Map();
      var ids = new Map();
      data.nodes.forEach(function (n) {
        if (typeof n.id !== 'string') { return; }
        ids.set(n.id, n);
        if (typeof n.domId === 'string') { byDomId.set(n.domId, n.id); }
      });
      var nameOf = function (key) {
        if (byDomId.has(key)) { return byDomId.get(key); }
        var bare = key.replace(/-[0-9]+$/, '');
        var best = null;
        ids.forEach(function (n, id) {
          if ((bare === id || bare.endsWith('-' + id)) && (best === null || id.length > best.length)) {
            best = id;
          }
        });
        return best;
      };
      var edges = new Map();
      tags.forEach(function (tag) {
        var id = attributeOf(tag, 'id') || '';
        var key = id.indexOf(prefix) === 0 ? id.substring(prefix.length) : id;
        if (isNode(tag)) {
          var name = nameOf(key);
          if (name !== null) { edits.push({ tag: tag, name: 'data-qnt-name', value: name }); }
        } else if (tag.name === 'g' && (tag.classes.indexOf('cluster') >= 0
                   || tag.classes.indexOf('statediagram-cluster') >= 0)) {
          var group = attributeOf(tag, 'data-id');
          if (group === null || !ids.has(group)) { group = nameOf(key); }
          if (group !== null) { edits.push({ tag: tag, name: 'data-qnt-name', value: group }); }
        } else if (isEdge(tag)) {
          edges.set(attributeOf(tag, 'data-id'), tag);
        }
      });
      data.edges.forEach(function (e) {
        var p = e && e.id && edges.get(e.id);
        if (p && typeof e.start === 'string' && typeof e.end === 'string') {
          edits.push({ tag: p, name: 'data-qnt-from', value: e.start });
          edits.push({ tag: p, name: 'data-qnt-to', value: e.end });
          // A class relation's multiplicities, near its two ends.
          var near = function (a, b) {
            return typeof a === 'string' && a !== 'none' && a !== '' ? a
                 : typeof b === 'string' && b !== 'none' ? b : '';
          };
          var first = near(e.startLabelRight, e.startLabelLeft);
          var last = near(e.endLabelLeft, e.endLabelRight);
          if (first) { edits.push({ tag: p, name: 'data-qnt-start-label', value: first }); }
          if (last) { edits.push({ tag: p, name: 'data-qnt-end-label', value: last }); }
        }
      });
    };
    // Names the nodes, subgraphs and edge ends in the picture from the diagram's own model,
    // so the reader need not guess them from Mermaid's element ids. The picture stays text:
    // the attributes are set where its tags are.
    var annotate = function (svg, type) {
      var tags = window.qntTags(svg);
      var edits = window.qntPlainEdits(svg, tags);
      var finish = function () { return window.qntSetAttributes(svg, edits); };
      if (graphKinds[type] === true) {
        return graphOf().then(function (data) {
          if (data) { nameGraph(data, tags, edits); }
          return finish();
        }, finish);
      }
      var known = parsers[type];
      if (known && !known.flow) { return Promise.resolve(finish()); }
      return modelOf(type, tags).then(function (db) {
        if (!isFlowModel(db)) { return finish(); }
        var byDomId = Object.create(null);
        listOf(db.getVertices()).forEach(function (v) { if (v.domId) { byDomId[v.domId] = v.id; } });
        var byId = Object.create(null);
        var edges = Object.create(null);
        tags.forEach(function (tag) {
          var id = attributeOf(tag, 'id');
          if (id !== null && !(id in byId)) { byId[id] = tag; }
          if (isNode(tag)) {
            var key = (id || '').indexOf(prefix) === 0 ? id.substring(prefix.length) : (id || '');
            if (Object.prototype.hasOwnProperty.call(byDomId, key)) {
              edits.push({ tag: tag, name: 'data-qnt-name', value: byDomId[key] });
            }
          }
          if (isEdge(tag)) { edges[attributeOf(tag, 'data-id')] = tag; }
        });
        if (typeof db.getSubGraphs === 'function') {
          db.getSubGraphs().forEach(function (g) {
            var c = byId[prefix + g.id];
            if (c) { edits.push({ tag: c, name: 'data-qnt-name', value: g.id }); }
          });
        }
        db.getEdges().forEach(function (e) {
          var p = e.id && edges[e.id];
          if (p) {
            edits.push({ tag: p, name: 'data-qnt-from', value: e.start });
            edits.push({ tag: p, name: 'data-qnt-to', value: e.end });
          }
        });
        return finish();
      }, finish);
    };
    // Mermaid draws into a box of its own, contained so that the page around it is not laid
    // out again each time Mermaid measures a label.
    var box = document.getElementById('qnt_render');
    if (!box) {
      box = document.createElement('div');
      box.id = 'qnt_render';
      box.style.cssText = 'contain: strict; position: absolute; left: 0; top: 0; width: 0; '
        + 'height: 0; overflow: hidden';
      document.body.appendChild(box);
    }
    var started = performance.now();
    mermaid.render(svgId, text, box).then(function (r) {
      var rendered = performance.now();
      return annotate(r.svg, r.diagramType).then(function (svg) {
        clear();
        done({ svg: svg, renderMs: rendered - started, annotateMs: performance.now() - rendered });
      });
    }).catch(function (e) {
      clear(); done(failure(e));
    });
  } catch (e) {
    done(failure(e));
  }
})();
)JS";

qint64 pageStamp(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified().toMSecsSinceEpoch() * 1000 + info.size() % 1000 : -1;
}

} // namespace

QntWebMermaidRenderer::QntWebMermaidRenderer()
{
    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        // A page that does not answer is dropped; the next render starts a fresh one.
        delete m_page;
        m_page = nullptr;
        m_pageLoaded = false;
        finish(
            {QString(), Result::Failure::Page, QStringLiteral("Mermaid did not answer in time")});
    });
}

QntWebMermaidRenderer::~QntWebMermaidRenderer()
{
    // The page goes before its profile.
    delete m_page;
    m_page = nullptr;
    delete m_profile;
}

QString QntWebMermaidRenderer::pageSetUpScript()
{
    return QString::fromLatin1(kPageSetUpScript);
}

int QntWebMermaidRenderer::refusedRequestCount() const
{
    return m_guard ? m_guard->refused() : 0;
}

void QntWebMermaidRenderer::ensurePage(const QString &hostPagePath)
{
    const QString path = QFileInfo(hostPagePath).absoluteFilePath();
    const qint64 stamp = pageStamp(path);
    if (m_page && path == m_pagePath && stamp == m_pageStamp && (m_pageLoaded || !m_pageFailed))
        return;
    if (!m_profile) {
        // Off the record: no cache, cookies or storage on disk.
        m_profile = new QWebEngineProfile(this);
        m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        m_guard = new QntMermaidRequestGuard(this);
        m_profile->setUrlRequestInterceptor(m_guard);
    }
    m_guard->setFolder(QFileInfo(path).absolutePath());
    delete m_page;
    auto *page = new HostPage(m_profile, this);
    m_page = page;
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebGLEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    m_pagePath = path;
    m_pageStamp = stamp;
    m_pageLoaded = false;
    m_pageFailed = false;
    const QUrl url = QUrl::fromLocalFile(path);
    page->setHostUrl(url);
    connect(page, &QWebEnginePage::loadFinished, this, [this, page](bool ok) {
        if (page != m_page)
            return;
        m_pageLoaded = ok;
        m_pageFailed = !ok;
        if (ok) {
            page->runJavaScript(pageSetUpScript());
            page->runJavaScript(QString::fromLatin1(kPageTagsScript));
        }
        if (!m_running)
            return;
        if (ok)
            start();
        else
            finish({QString(), Result::Failure::Page,
                    QStringLiteral("The Mermaid page did not load")});
    });
    connect(page, &QWebEnginePage::titleChanged, this, [this, page](const QString &title) {
        static const QString prefix = QStringLiteral("qnt-done-");
        if (page != m_page || !title.startsWith(prefix))
            return;
        fetchResult(title.mid(prefix.size()).toInt());
    });
    page->load(url);
}

void QntWebMermaidRenderer::render(const QString &hostPagePath, const QString &text,
                                   const QString &stylesheet, Completion completion)
{
    if (m_running) {
        Job old = std::move(m_job);
        m_running = false;
        m_timeout->stop();
        if (old.completion)
            old.completion(
                {QString(), Result::Failure::Page, QStringLiteral("Superseded by a newer build")});
    }
    if (text.size() > kMaxTextLength) {
        const Result refused{QString(), Result::Failure::TooLarge,
                             QStringLiteral("The diagram text is too long")};
        QTimer::singleShot(0, this, [completion, refused] { completion(refused); });
        return;
    }
    if (!QFileInfo::exists(hostPagePath)) {
        const Result missing{QString(), Result::Failure::Page,
                             QStringLiteral("The Mermaid page is missing")};
        QTimer::singleShot(0, this, [completion, missing] { completion(missing); });
        return;
    }
    m_job = Job{text, stylesheet, std::move(completion), ++m_serial};
    m_running = true;
    m_timeout->start(kPageLoadTimeoutMs);
    ensurePage(hostPagePath);
    if (m_pageLoaded)
        start();
}

void QntWebMermaidRenderer::start()
{
    m_timeout->start(kRenderTimeoutMs);
    const QString script = QString::fromLatin1(kRenderScript)
                               .arg(m_job.serial)
                               .arg(jsString(m_job.text), jsString(m_job.stylesheet))
                               .arg(kMaxTextLength)
                               .arg(kMaxEdges);
    m_page->runJavaScript(script);
}

void QntWebMermaidRenderer::fetchResult(int serial)
{
    if (!m_running || serial != m_job.serial || !m_page)
        return;
    QPointer<QntWebMermaidRenderer> self(this);
    m_page->runJavaScript(QStringLiteral("window.__qntResult || null"), [self, serial](
                                                                            const QVariant &value) {
        if (!self || !self->m_running || serial != self->m_job.serial)
            return;
        const QVariantMap payload = value.toMap();
        const QString error = payload.value(QStringLiteral("error")).toString();
        const QString svg = payload.value(QStringLiteral("svg")).toString();
        if (error == QLatin1String("no-script")) {
            self->finish({QString(), Result::Failure::Page,
                          QStringLiteral("The Mermaid script is missing")});
        } else if (!error.isEmpty()) {
            const bool large = error.contains(QLatin1String("Maximum text size"))
                               || error.contains(QLatin1String("Edge limit"));
            Result failed{QString(), large ? Result::Failure::TooLarge : Result::Failure::Syntax,
                          error};
            if (!large) {
                failed.errorLine = std::max(0, payload.value(QStringLiteral("line")).toInt());
                failed.errorColumn = std::max(0, payload.value(QStringLiteral("column")).toInt());
            }
            self->finish(failed);
        } else if (svg.isEmpty()) {
            self->finish(
                {QString(), Result::Failure::Page, QStringLiteral("Mermaid gave no picture")});
        } else {
            Result result{svg, Result::Failure::None, QString()};
            result.mermaidMs = payload.value(QStringLiteral("renderMs")).toDouble();
            result.namingMs = payload.value(QStringLiteral("annotateMs")).toDouble();
            self->finish(result);
        }
    });
}

void QntWebMermaidRenderer::finish(const Result &result)
{
    if (!m_running)
        return;
    m_running = false;
    m_timeout->stop();
    Completion completion = std::move(m_job.completion);
    m_job = Job{};
    if (completion)
        completion(result);
}

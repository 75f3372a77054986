#include "platform/print/PrintedPdf.h"

#include "platform/print/PdfFinisher.h"
#include "platform/print/PendingPdfPages.h"
#include "platform/print/PrintDecorations.h"
#include "platform/runtime/Trace.h"

#include <QFuture>
#include <QPageSize>
#include <QPromise>
#include <QRandomGenerator>
#include <QRectF>
#include <QThreadPool>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <exception>
#include <utility>

namespace platform {

namespace {

// Runs work on a pool thread; qpdf's reading and writing of a long document takes seconds.
template <typename Work> auto inBackground(Work work) -> QFuture<decltype(work())>
{
    using Result = decltype(work());
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

// Runs in a world of its own, apart from the page's scripts. Reads the title and author, and
// names for every heading the PDF destination that will say where it is printed.
//
// The engine records destinations only for elements that links of the page point at, so a
// heading that no link reaches gets an empty marker with a hidden link to it (both tagged with
// the job's token). Each destination costs the engine a little on every page it prints, so on
// long pages the markers go to the higher levels of heading only, as many as the budget
// allows (pages times markers); headings that links point at already cost nothing extra.
constexpr auto kMarkHeadings = R"JS(
(function (token, pageHeight, budget) {
  var facts = {title: (document.title || '').trim(), author: '', headings: []};
  var meta = document.querySelector('meta[name="author" i]');
  if (meta)
    facts.author = (meta.getAttribute('content') || '').replace(/\s+/g, ' ').trim();
  if (!document.body)
    return facts;
  var here = location.href.split('#')[0];
  var linked = new Set();
  document.querySelectorAll('a[href*="#"], area[href*="#"]').forEach(function (link) {
    var target = link.href.split('#');
    if (target[0] === here && target[1]) {
      try { linked.add(decodeURIComponent(target[1])); } catch (e) { }
    }
  });
  var named = function (element) {
    if (!element)
      return '';
    var name = element.id || (element.tagName === 'A' ? element.getAttribute('name') : '');
    return name && linked.has(name) ? name : '';
  };
  // A heading's own name or that of an empty anchor just before it, or the same for a box
  // that the heading opens.
  var existing = function (heading) {
    for (var box = heading; box && box !== document.body; box = box.parentElement) {
      var before = box.previousElementSibling;
      var name = named(box) || (before && before.tagName === 'A' && !before.textContent.trim()
                                ? named(before) : '');
      if (name)
        return name;
      if (!box.parentElement || box.parentElement.firstElementChild !== box)
        break;
    }
    return '';
  };
  var found = [];
  var fresh = [0, 0, 0, 0];
  document.querySelectorAll('h1, h2, h3').forEach(function (heading) {
    var text = (heading.textContent || '').replace(/\s+/g, ' ').trim().slice(0, 300);
    if (!text || found.length >= 10000)
      return;
    var level = Number(heading.tagName.charAt(1));
    var name = existing(heading);
    if (!name)
      ++fresh[level];
    found.push({heading: heading, name: name, title: text, level: level});
  });
  var pages = Math.max(1, Math.ceil(document.documentElement.scrollHeight / pageHeight));
  var deepest = 0;
  for (var level = 1, markers = 0; level <= 3; ++level) {
    markers += fresh[level];
    if (markers * pages > budget)
      break;
    deepest = level;
  }
  var links = document.createElement('div');
  links.hidden = true;
  links.setAttribute('data-print-mark', token);
  found.forEach(function (entry, i) {
    if (!entry.name) {
      if (entry.level > deepest)
        return;
      entry.name = token + '-' + i;
      var marker = document.createElement('span');
      marker.id = entry.name;
      marker.setAttribute('data-print-mark', token);
      entry.heading.insertBefore(marker, entry.heading.firstChild);
      var link = document.createElement('a');
      link.href = '#' + entry.name;
      links.appendChild(link);
    }
    facts.headings.push({destination: entry.name, title: entry.title, level: entry.level});
  });
  document.body.appendChild(links);
  return facts;
})('%1', %2, %3)
)JS";

// Pages times new destinations: the engine checks every destination on every page it prints,
// at some 10 microseconds a check, so this is about half a second at most.
constexpr int kMarkerBudget = 50000;

constexpr auto kUnmarkHeadings = R"JS(
document.querySelectorAll('[data-print-mark="%1"]').forEach(function (e) { e.remove(); });
)JS";

// What a page gives as its title, author or a heading, as text for the document: control
// characters (NUL, BEL, ESC, ...) would go into the outline and the document's information
// as they are, where a viewer or a terminal showing them takes them for commands.
QString printableText(const QVariant& given)
{
    QString text = given.toString();
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return text.simplified();
}

}  // namespace

PrintedPdf::PrintedPdf(QWebEnginePage* page, QString untitledName, QString creator, QObject* parent)
    : QObject(parent),
      page_(page),
      untitledName_(std::move(untitledName)),
      creator_(std::move(creator)),
      token_(QStringLiteral("print-mark-%1")
                 .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'))),
      headings_(std::make_shared<std::vector<PdfHeading>>())
{
}

PrintedPdf::~PrintedPdf() = default;

void PrintedPdf::make(const QPageLayout& layout, const QPageRanges& ranges,
                      std::function<void(const QByteArray&)> done)
{
    done_ = std::move(done);
    layout_ = layout;
    markHeadings(layout, [this, layout, ranges] {
        if (!page_) {
            deliver({});
            return;
        }
        QPointer<PrintedPdf> self(this);
        PendingPdfPages::begin(page_);
        qCDebug(lcPage) << "asked the engine for the page's PDF";
        page_->printToPdf(
            [self, page = page_](const QByteArray& pdf) {
                PendingPdfPages::end(page);
                if (!self)
                    return;
                self->unmarkHeadings();
                if (pdf.isEmpty())
                    self->deliver({});
                else
                    self->openPdf(pdf);
            },
            layout, ranges);
    });
}

void PrintedPdf::markHeadings(const QPageLayout& layout, std::function<void()> then)
{
    const QString script
        = QString::fromLatin1(kMarkHeadings)
              .arg(token_)
              .arg(qMax(1.0, layout.paintRect(QPageLayout::Point).height() * 96 / 72))
              .arg(kMarkerBudget);
    QPointer<PrintedPdf> self(this);
    page_->runJavaScript(
        script, QWebEngineScript::ApplicationWorld,
        [self, then = std::move(then)](const QVariant& result) {
            if (!self)
                return;
            const QVariantMap facts = result.toMap();
            self->title_ = printableText(facts.value(QStringLiteral("title")));
            self->author_ = printableText(facts.value(QStringLiteral("author")));
            for (const QVariant& entry : facts.value(QStringLiteral("headings")).toList()) {
                const QVariantMap heading = entry.toMap();
                self->headings_->push_back({heading.value(QStringLiteral("destination")).toString(),
                                            printableText(heading.value(QStringLiteral("title"))),
                                            heading.value(QStringLiteral("level")).toInt()});
            }
            if (self->title_.isEmpty())
                self->title_ = self->untitledName_;
            then();
        });
}

void PrintedPdf::unmarkHeadings()
{
    if (page_)
        page_->runJavaScript(QString::fromLatin1(kUnmarkHeadings).arg(token_),
                             QWebEngineScript::ApplicationWorld);
}

void PrintedPdf::openPdf(QByteArray pdf)
{
    enginePdf_ = pdf;
    inBackground([pdf = std::move(pdf)]() -> std::shared_ptr<PdfFinisher> {
        try {
            return std::make_shared<PdfFinisher>(pdf);
        } catch (const std::exception& error) {
            qWarning("The printed page's PDF could not be read: %s", error.what());
            return {};
        }
    }).then(this, [this](const std::shared_ptr<PdfFinisher>& finisher) {
        if (!finisher) {
            deliver(enginePdf_);
            return;
        }
        finisher_ = finisher;
        // For the paper the pages were printed on, with the margins that were chosen.
        QPageLayout paper = layout_;
        const QSizeF size = finisher->firstPageSize();
        if (size.width() > 0 && size.height() > 0)
            paper = QPageLayout(QPageSize(size, QPageSize::Point), QPageLayout::Portrait,
                                layout_.margins(QPageLayout::Point), QPageLayout::Point);
        furniture_ = std::make_shared<PageFurniture>(PrintDecorations::furnitureFor(title_, paper));
        finishWhenReady();
    });
}

void PrintedPdf::finishWhenReady()
{
    if (!finisher_ || !furniture_ || finishing_)
        return;
    finishing_ = true;
    const PdfDocumentInfo info{title_, author_, creator_};
    inBackground([finisher = finisher_, furniture = furniture_, info,
                  headings = headings_]() -> QByteArray {
        try {
            return finisher->finish(*furniture, *headings, info);
        } catch (const std::exception& error) {
            qWarning("The printed page's PDF could not be finished: %s", error.what());
            return {};
        }
    }).then(this, [this](const QByteArray& finished) {
        deliver(finished.isEmpty() ? enginePdf_ : finished);
    });
}

void PrintedPdf::deliver(const QByteArray& pdf)
{
    // pdf may be one of the members cleared here.
    const QByteArray result = pdf;  // NOLINT(performance-unnecessary-copy-initialization)
    enginePdf_.clear();
    finisher_.reset();
    furniture_.reset();
    if (auto done = std::exchange(done_, nullptr))
        done(result);
}

}  // namespace platform

#pragma once

#include <QFrame>
#include <QPointer>

class QBoxLayout;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWebEngineView;

namespace platform {

class BookMatchesList;

// Finding text in the page a web view shows. The bar floats over the bottom edge of the
// widget it is placed in and is there only while in use, so it moves no other control.
// Return or the next button goes to the next match, Shift+Return or the previous button to
// the one before; Escape closes the bar and takes the highlight off the page. The page is
// searched as the whole book is (see findInShownText), so its count and the list's agree,
// and the match found is selected and shown above the bar. In a narrow window the bar takes
// up to four lines and its buttons show their icons. "Whole book" shows the list of the
// book's matches (BookMatchesList) in the bar, below its lines, and its count on the bar's
// count line.
class FindBar : public QFrame {
    Q_OBJECT
public:
    FindBar(QWebEngineView* view, QWidget* over);

    // Shows the bar with the focus in its text box, the text selected, to find in the page.
    void open();
    // The same, to find in the whole book (once a book is given).
    void openWholeBook();
    // The book that "Whole book" searches: its folder, start page and the pages left out.
    void searchBook(const QString& folder, const QString& startPage, const QStringList& leftOut);
    // Hides the bar, clears the highlight and gives the focus back to the page.
    void close();
    void findNext();
    void findPrevious();

    QString text() const;
    // "N of M" for the latest search; empty while nothing is searched for. In whole-book mode,
    // "N matches in M pages" or "No matches".
    QString resultText() const;
    bool searchesWholeBook() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void search(bool backward);
    void setWholeBook(bool wholeBook);
    void showBookCount(const QString& text);
    enum class Goal { First, Next, Previous, Landing };
    void findInPage(Goal goal);
    void showFound(Goal goal, const QString& query, const QString& text);
    void clearFound();
    // The height in the page's pixels of the part of the view above the bar.
    double freeHeight() const;
    void arrange();
    void place();

    QPointer<QWebEngineView> view_;
    QWidget* over_;
    QLineEdit* field_;
    QPushButton* previous_;
    QPushButton* next_;
    QLabel* result_;
    QCheckBox* wholeBook_;
    QPushButton* close_;
    QLabel* caption_;
    BookMatchesList* list_;
    QList<QBoxLayout*> rows_;
    int arrangedFor_ = -1;
    // The match of the whole book's list to select in the page just opened.
    QString landingText_;
    int landingOccurrence_ = 0;
    int serial_ = 0;
    int matches_ = 0;
    // The match shown: its place among the page's matches (from 1) and in the page's text.
    QString shownQuery_;
    int active_ = 0;
    qsizetype selectedStart_ = -1;
    qsizetype selectedEnd_ = -1;
};

}  // namespace platform

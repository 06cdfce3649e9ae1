#include "output/history/HistoryWindow.h"

#include "common/PlatformTexts.h"
#include "common/Trace.h"
#include "output/history/HistoryGrid.h"
#include "output/history/HistoryGridModel.h"
#include "output/history/HistoryView.h"
#include "theme/Symbols.h"
#include "theme/Theme.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace zorv
{

namespace
{
// Text colour faded towards the window's, opaque (symbols are drawn opaque).
QColor secondaryText(const QPalette &palette, double strength = 0.6)
{
    return Theme::mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText),
                      strength);
}

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}
} // namespace

HistoryWindow::HistoryWindow(HistoryView &view, QWidget *parent)
    : QWidget(parent), m_view(view), m_model(new HistoryGridModel(view, this)),
      m_grid(new HistoryGrid(*m_model, this)), m_count(new QLabel(this)),
      m_search(new QLineEdit(this)), m_clearAll(new QPushButton(QStringLiteral("Clear All"), this)),
      m_stack(new QStackedWidget(this)), m_emptyTitle(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Capture History"));
    resize(860, 620);

    auto *title = new QLabel(QStringLiteral("History"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    title->setFont(titleFont);
    setTextColour(m_count, secondaryText(palette()));

    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setFixedWidth(160);
    m_search->setClearButtonEnabled(true);
    m_search->addAction(Symbols::icon(QStringLiteral("magnifyingglass"), secondaryText(palette())),
                        QLineEdit::LeadingPosition);
    m_search->setText(view.query());

    auto *header = new QHBoxLayout;
    header->setContentsMargins(18, 12, 18, 12);
    header->setSpacing(8);
    header->addWidget(title);
    header->addWidget(m_count);
    header->addStretch(1);
    header->addWidget(m_search);
    header->addWidget(m_clearAll);

    auto *divider = new QWidget(this);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, secondaryText(palette(), 0.2));
    divider->setPalette(dividerPalette);

    auto *empty = new QWidget(this);
    auto *emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch(1);
    auto *symbol = new QLabel(empty);
    symbol->setPixmap(Symbols::pixmap(QStringLiteral("photo.on.rectangle.angled"), 64,
                                      secondaryText(palette(), 0.3), devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignCenter);
    QFont emptyFont = m_emptyTitle->font();
    emptyFont.setBold(true);
    emptyFont.setPointSizeF(emptyFont.pointSizeF() * 1.2);
    m_emptyTitle->setFont(emptyFont);
    m_emptyTitle->setAlignment(Qt::AlignCenter);
    auto *hint = new QLabel(PlatformTexts::historyEmptyHint(), empty);
    hint->setAlignment(Qt::AlignCenter);
    setTextColour(hint, secondaryText(palette()));
    emptyLayout->addWidget(symbol);
    emptyLayout->addSpacing(8);
    emptyLayout->addWidget(m_emptyTitle);
    emptyLayout->addWidget(hint);
    emptyLayout->addStretch(1);

    m_stack->addWidget(m_grid);
    m_stack->addWidget(empty);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(divider);
    layout->addWidget(m_stack, 1);

    auto *find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, m_search, [this] { m_search->setFocus(); });
    auto *closeAction = new QAction(this);
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addActions({find, closeAction});

    connect(m_search, &QLineEdit::textChanged, &m_view, &HistoryView::setQuery);
    connect(&m_view, &HistoryView::changed, this, &HistoryWindow::refresh);
    connect(m_clearAll, &QPushButton::clicked, this, &HistoryWindow::clearAllRequested);
    connect(m_grid, &QListView::clicked, this,
            [this](const QModelIndex &index) { Q_EMIT openRequested(m_model->item(index.row())); });
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = m_grid->indexAt(pos);
        if (index.isValid())
            Q_EMIT menuRequested(m_model->item(index.row()), m_grid->viewport()->mapToGlobal(pos));
    });
    connect(m_grid, &HistoryGrid::painted, this, [] { Trace::mark("history-painted"); });
    refresh();
}

bool HistoryWindow::showsEmptyState() const
{
    return m_stack->currentIndex() == 1;
}

QString HistoryWindow::emptyTitle() const
{
    return m_emptyTitle->text();
}

QString HistoryWindow::countText() const
{
    return m_count->text();
}

void HistoryWindow::refresh()
{
    m_count->setText(QString::number(m_view.totalCount()));
    m_clearAll->setVisible(m_view.totalCount() > 0);
    const bool empty = m_view.filtered().isEmpty();
    m_emptyTitle->setText(m_view.query().isEmpty() ? QStringLiteral("No captures yet")
                                                   : QStringLiteral("No matches"));
    m_stack->setCurrentIndex(empty ? 1 : 0);
}

void HistoryWindow::closeEvent(QCloseEvent *event)
{
    // Only hidden: reopening shows the same window with its search text.
    QWidget::closeEvent(event);
    Q_EMIT closed();
}

} // namespace zorv

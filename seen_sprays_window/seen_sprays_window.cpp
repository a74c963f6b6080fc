#include "seen_sprays_window.h"

#include "decal_file.h"
#include "game_paths.h"
#include "game_view.h"
#include "platform.h"

#include <QAbstractListModel>
#include <QCache>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace tagswap {

namespace {

// The smallest cell a spray is drawn in; larger sprays get larger cells.
constexpr int kThumbnailSide = 128;
constexpr int kLargestScale = 4;
// Pictures are drawn when a row is first shown; a cache of thousands of sprays
// keeps only this many at a time.
constexpr int kThumbnailsKept = 512;
constexpr int kNamesSaid = 3;
constexpr qreal kFrameWidth = 3;
const QString kTitle = QStringLiteral("Tagswap");

// One scale for every spray, so that sizes compare at a glance: the largest whole
// one at which the largest spray still fits the smallest cell.
int commonScale(const QList<seen::SeenSpray> &sprays)
{
    int side = 1;
    for (const seen::SeenSpray &spray : sprays)
        side = std::max({side, spray.width, spray.height});
    return std::clamp(kThumbnailSide / side, 1, kLargestScale);
}

int sideFor(const QList<seen::SeenSpray> &sprays, int scale)
{
    int side = kThumbnailSide;
    for (const seen::SeenSpray &spray : sprays)
        side = std::max({side, spray.width * scale, spray.height * scale});
    return side;
}

// The spray as the game shows it, whole screen pixels for each spray pixel as the
// game's nearest filtering shows them, in the middle of a square of its own so that
// every row's text starts at the same height.
QImage thumbnail(const seen::SeenSpray &spray, int scale, int side)
{
    const std::optional<decal::Decal> decoded = decal::decode(spray.bytes);
    if (!decoded)
        return {};
    const QImage shown = decal::renderAsGame(*decoded);
    const QImage scaled = shown.scaled(shown.size() * scale);
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    return square;
}

// "a.wad", "a.wad and b.wad", "a.wad, b.wad and c.wad", "a.wad, b.wad, c.wad and 2 more"
QString namesSaid(const QStringList &names)
{
    if (names.size() == 1)
        return names.first();
    if (names.size() > kNamesSaid)
        return SeenSpraysWindow::tr("%1 and %L2 more")
            .arg(names.first(kNamesSaid).join(QStringLiteral(", ")))
            .arg(names.size() - kNamesSaid);
    return SeenSpraysWindow::tr("%1 and %2")
        .arg(names.first(names.size() - 1).join(QStringLiteral(", ")), names.last());
}

// Draws each spray as it is, chosen or not, and shows the choice by a frame round it:
// the style's look for a chosen row tints the picture (a red heart turns purple).
class FramedChoice : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain = option;
        plain.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, plain, index);
        if (!(option.state & QStyle::State_Selected))
            return;
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), kFrameWidth));
        painter->setBrush(Qt::NoBrush);
        const qreal inset = kFrameWidth / 2;
        painter->drawRect(QRectF(option.rect).adjusted(inset, inset, -inset, -inset));
        painter->restore();
    }
};

} // namespace

// The sprays as the list shows them; holders are the spray folder's files with
// the same bytes, one for each spray (empty: not there).
class SeenSprayList : public QAbstractListModel {
public:
    SeenSprayList(QList<seen::SeenSpray> sprays, QStringList holders, int scale, QObject *parent)
        : QAbstractListModel(parent)
        , m_sprays(std::move(sprays))
        , m_holders(std::move(holders))
        , m_scale(scale)
        , m_side(sideFor(m_sprays, scale))
    {
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_sprays.size());
    }

    // Room for a picture and three lines of text below it.
    QSize cell() const { return QSize(m_side + 40, m_side + 64); }
    int thumbnailSide() const { return m_side; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid))
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return text(index.row());
        case Qt::ToolTipRole:
            return toolTip(index.row());
        case Qt::DecorationRole:
            return picture(index.row());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignHCenter | Qt::AlignTop);
        case Qt::SizeHintRole:
            // Every row the same: the list lays out thousands without drawing one.
            return cell() - QSize(8, 8);
        default:
            return {};
        }
    }

    const seen::SeenSpray &spray(int row) const { return m_sprays.at(row); }
    bool isHeld(int row) const { return !m_holders.at(row).isEmpty(); }

    void setHolder(int row, const QString &name)
    {
        m_holders[row] = name;
        emit dataChanged(index(row), index(row), {Qt::DisplayRole, Qt::ToolTipRole});
    }

private:
    QString text(int row) const
    {
        const seen::SeenSpray &s = m_sprays.at(row);
        QString line =
            SeenSpraysWindow::tr("%1 × %2, %3\n%L4 bytes")
                .arg(s.width)
                .arg(s.height)
                .arg(s.colour ? SeenSpraysWindow::tr("colour") : SeenSpraysWindow::tr("one-colour"))
                .arg(s.bytes.size());
        if (!m_holders.at(row).isEmpty())
            line += u'\n' + SeenSpraysWindow::tr("In your sprays");
        return line;
    }

    // As the spray list's tooltips describe a spray, then what only this list knows.
    QString toolTip(int row) const
    {
        const seen::SeenSpray &s = m_sprays.at(row);
        QString tip = decal::sizeKindAndBytes(s.width, s.height, s.colour, s.bytes.size());
        tip += u'\n' + SeenSpraysWindow::tr("MD5 %1").arg(s.md5Hex());
        if (!m_holders.at(row).isEmpty())
            tip += u'\n' + SeenSpraysWindow::tr("In your sprays as %1").arg(m_holders.at(row));
        return tip;
    }

    QPixmap picture(int row) const
    {
        if (const QPixmap *kept = m_pictures.object(row))
            return *kept;
        auto *drawn = new QPixmap(QPixmap::fromImage(thumbnail(m_sprays.at(row), m_scale, m_side)));
        QPixmap copy = *drawn;
        m_pictures.insert(row, drawn);
        return copy;
    }

    QList<seen::SeenSpray> m_sprays;
    QStringList m_holders;
    int m_scale;
    int m_side;
    mutable QCache<int, QPixmap> m_pictures{kThumbnailsKept};
};

SeenSpraysWindow::SeenSpraysWindow(Platform &platform, const QString &gameDirectory,
                                   const QString &mod, const QString &sprayFolder, QWidget *parent)
    : QDialog(parent)
    , m_platform(platform)
    , m_gameDirectory(gameDirectory)
    , m_sprayFolder(sprayFolder)
    , m_gameSprayFiles(modSprayFiles(seen::modFolder(gameDirectory, mod)))
    , m_caches(seen::readModCaches(seen::modFolder(gameDirectory, mod)))
    , m_scale(commonScale(m_caches.sprays))
{
    setObjectName(QStringLiteral("seenSprays"));
    setWindowTitle(tr("Sprays seen in game"));
    seen::SprayFolder folder(sprayFolder, m_gameSprayFiles);
    QStringList holders;
    for (const seen::SeenSpray &spray : std::as_const(m_caches.sprays))
        holders << folder.holding(spray);
    m_model = new SeenSprayList(m_caches.sprays, holders, m_scale, this);
    buildControls(mod);
}

QString SeenSpraysWindow::summary(const QString &mod) const
{
    if (!isModFolderName(mod))
        return notModFolderName(mod);
    if (m_gameDirectory.isEmpty())
        return tr("Set the Half-Life directory in Settings first.");
    if (!QFileInfo(seen::modFolder(m_gameDirectory, mod)).isDir())
        return tr("%1 has no mod folder %2.").arg(m_gameDirectory, mod);
    const qsizetype count = m_caches.sprays.size();
    if (count == 0)
        return tr("The game has not cached any sprays for %1 yet.").arg(mod);
    const QString sprays = count == 1 ? tr("One spray") : tr("%L1 sprays").arg(count);
    return tr("%1 that players showed you in %2, each drawn at %3×. Choose those to keep and "
              "press Add to my sprays.")
        .arg(sprays, mod, QString::number(m_scale));
}

void SeenSpraysWindow::buildControls(const QString &mod)
{
    auto *layout = new QVBoxLayout(this);
    const bool empty = m_caches.sprays.isEmpty();
    auto *about = new QLabel(summary(mod), this);
    about->setObjectName(QStringLiteral("summary"));
    about->setTextFormat(Qt::PlainText);
    about->setWordWrap(true);
    // With nothing to list, the text stands where the list would be.
    about->setAlignment(empty ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(about, empty ? 1 : 0);

    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("sprays"));
    m_list->setAccessibleName(tr("Sprays seen in game"));
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(m_model->thumbnailSide(), m_model->thumbnailSide()));
    m_list->setGridSize(m_model->cell());
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setUniformItemSizes(true);
    m_list->setWordWrap(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setItemDelegate(new FramedChoice(m_list));
    m_list->setModel(m_model);
    m_list->setVisible(!empty);
    layout->addWidget(m_list, 1);

    // What the last Add wrote, and renaming it in the spray list.
    auto *writtenRow = new QHBoxLayout;
    m_written = new QLabel(this);
    m_written->setObjectName(QStringLiteral("written"));
    m_written->setTextFormat(Qt::PlainText);
    m_rename = new QPushButton(tr("Rename..."), this);
    m_rename->setObjectName(QStringLiteral("rename"));
    m_written->hide();
    m_rename->hide();
    writtenRow->addWidget(m_written, 1);
    writtenRow->addWidget(m_rename);
    layout->addLayout(writtenRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_add = buttons->addButton(tr("Add to my sprays"), QDialogButtonBox::ActionRole);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setEnabled(false);
    connect(m_add, &QPushButton::clicked, this, &SeenSpraysWindow::addSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SeenSpraysWindow::updateAddButton);
    layout->addWidget(buttons);
    resize(720, 420);
}

// Add copies only what the folder lacks; with every chosen spray there, it has nothing to do.
void SeenSpraysWindow::updateAddButton()
{
    const QModelIndexList rows = m_list->selectionModel()->selectedIndexes();
    m_add->setEnabled(std::any_of(rows.cbegin(), rows.cend(), [this](const QModelIndex &row) {
        return !m_model->isHeld(row.row());
    }));
}

void SeenSpraysWindow::showWritten(const QStringList &names)
{
    if (names.isEmpty())
        return;
    m_written->setText(tr("Added %1.").arg(namesSaid(names)));
    // One file is renamed at once; of several, the player picks which.
    delete m_rename->menu();
    QMenu *each = nullptr;
    if (names.size() > 1) {
        each = new QMenu(m_rename);
        for (const QString &name : names)
            each->addAction(name, this, [this, name] { emit renameRequested(name); });
    }
    m_rename->setMenu(each);
    m_rename->disconnect(this);
    if (!each)
        connect(m_rename, &QPushButton::clicked, this,
                [this, name = names.first()] { emit renameRequested(name); });
    m_written->show();
    m_rename->show();
}

void SeenSpraysWindow::reportFaults()
{
    if (m_caches.faults.isEmpty())
        return;
    QStringList lines{tr("The game's cache of sprays is damaged; the sprays that could be read "
                         "are shown.")};
    lines << m_caches.faults;
    m_platform.messageBox(this, lines.join(QStringLiteral("\r\n")), MsgBoxStyle::Exclamation,
                          kTitle);
}

void SeenSpraysWindow::addSelected()
{
    QModelIndexList rows = m_list->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end());
    seen::SprayFolder folder(m_sprayFolder, m_gameSprayFiles);
    QStringList written;
    QString lastThere;
    QStringList problems;
    for (const QModelIndex &row : std::as_const(rows)) {
        const seen::SeenSpray &spray = m_model->spray(row.row());
        const seen::SaveOutcome outcome = folder.save(spray);
        if (!outcome.error.isEmpty()) {
            problems << tr("Could not add %1: %2").arg(seen::seenSprayName(spray), outcome.error);
            continue;
        }
        m_model->setHolder(row.row(), outcome.name);
        if (outcome.written)
            written << outcome.name;
        else
            lastThere = outcome.name;
    }
    if (const QString chosen = written.isEmpty() ? lastThere : written.last(); !chosen.isEmpty())
        emit added(chosen);
    showWritten(written);
    updateAddButton();
    if (!problems.isEmpty())
        m_platform.messageBox(this, problems.join(QStringLiteral("\r\n")), MsgBoxStyle::Exclamation,
                              kTitle);
}

SeenSpraysWindow *showSeenSprays(Platform &platform, const QString &gameDirectory,
                                 const QString &mod, const QString &sprayFolder, QWidget *parent)
{
    auto *window = new SeenSpraysWindow(platform, gameDirectory, mod, sprayFolder, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->reportFaults();
    return window;
}

} // namespace tagswap

#include "seen_sprays_window.h"

#include "decal_file.h"
#include "game_paths.h"
#include "game_view.h"
#include "platform.h"

#include <QAbstractListModel>
#include <QCache>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tagswap {

namespace {

constexpr int kThumbnailSide = 128;
// Room for a picture and three lines of text below it.
const QSize kCell(kThumbnailSide + 40, kThumbnailSide + 64);
// Pictures are drawn when a row is first shown; a cache of thousands of sprays
// keeps only this many at a time.
constexpr int kThumbnailsKept = 512;
const QString kTitle = QStringLiteral("Tagswap");

// The spray as the game shows it, as large as fits, in the middle of a square of
// its own so that every row's text starts at the same height.
QImage thumbnail(const seen::SeenSpray &spray)
{
    const std::optional<decal::Decal> decoded = decal::decode(spray.bytes);
    if (!decoded)
        return {};
    const QImage shown = decal::renderAsGame(*decoded);
    const int side = std::max(shown.width(), shown.height());
    // Whole screen pixels for each spray pixel, as the game's nearest filtering shows
    // them; only the largest sprays are made smaller.
    const QImage fitted = side > kThumbnailSide
                              ? shown.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio,
                                             Qt::SmoothTransformation)
                              : shown.scaled(shown.size() * int(kThumbnailSide / side));
    QImage square(kThumbnailSide, kThumbnailSide, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((kThumbnailSide - fitted.width()) / 2, (kThumbnailSide - fitted.height()) / 2,
                      fitted);
    return square;
}

} // namespace

// The sprays as the list shows them; holders are the spray folder's files with
// the same bytes, one for each spray (empty: not there).
class SeenSprayList : public QAbstractListModel {
public:
    SeenSprayList(QList<seen::SeenSpray> sprays, QStringList holders, QObject *parent)
        : QAbstractListModel(parent), m_sprays(std::move(sprays)), m_holders(std::move(holders))
    {
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_sprays.size());
    }

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
            return kCell - QSize(8, 8);
        default:
            return {};
        }
    }

    const seen::SeenSpray &spray(int row) const { return m_sprays.at(row); }

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

    QString toolTip(int row) const
    {
        QString tip = SeenSpraysWindow::tr("MD5 %1").arg(m_sprays.at(row).md5Hex());
        if (!m_holders.at(row).isEmpty())
            tip += u'\n' + SeenSpraysWindow::tr("In your sprays as %1").arg(m_holders.at(row));
        return tip;
    }

    QPixmap picture(int row) const
    {
        if (const QPixmap *kept = m_pictures.object(row))
            return *kept;
        auto *drawn = new QPixmap(QPixmap::fromImage(thumbnail(m_sprays.at(row))));
        QPixmap copy = *drawn;
        m_pictures.insert(row, drawn);
        return copy;
    }

    QList<seen::SeenSpray> m_sprays;
    QStringList m_holders;
    mutable QCache<int, QPixmap> m_pictures{kThumbnailsKept};
};

SeenSpraysWindow::SeenSpraysWindow(Platform &platform, const QString &gameDirectory,
                                   const QString &mod, const QString &sprayFolder, QWidget *parent)
    : QDialog(parent)
    , m_platform(platform)
    , m_sprayFolder(sprayFolder)
    , m_gameSprayFiles(modSprayFiles(seen::modFolder(gameDirectory, mod)))
    , m_caches(seen::readModCaches(seen::modFolder(gameDirectory, mod)))
{
    setObjectName(QStringLiteral("seenSprays"));
    setWindowTitle(tr("Sprays seen in game"));
    seen::SprayFolder folder(sprayFolder, m_gameSprayFiles);
    QStringList holders;
    for (const seen::SeenSpray &spray : std::as_const(m_caches.sprays))
        holders << folder.holding(spray);
    m_model = new SeenSprayList(m_caches.sprays, holders, this);
    buildControls(mod);
}

QString SeenSpraysWindow::summary(const QString &mod) const
{
    const qsizetype count = m_caches.sprays.size();
    if (!isModFolderName(mod))
        return notModFolderName(mod);
    if (count == 0)
        return tr("The game has not cached any sprays for %1 yet.").arg(mod);
    const QString sprays = count == 1 ? tr("One spray") : tr("%L1 sprays").arg(count);
    return tr("%1 that players showed you in %2. Choose those to keep and press Add to my "
              "sprays.")
        .arg(sprays, mod);
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
    m_list->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    m_list->setGridSize(kCell);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setUniformItemSizes(true);
    m_list->setWordWrap(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setModel(m_model);
    m_list->setVisible(!empty);
    layout->addWidget(m_list, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_add = buttons->addButton(tr("Add to my sprays"), QDialogButtonBox::ActionRole);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setEnabled(false);
    connect(m_add, &QPushButton::clicked, this, &SeenSpraysWindow::addSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_add->setEnabled(m_list->selectionModel()->hasSelection()); });
    layout->addWidget(buttons);
    resize(720, 420);
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
    QString lastWritten;
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
            lastWritten = outcome.name;
        else
            lastThere = outcome.name;
    }
    if (const QString chosen = lastWritten.isEmpty() ? lastThere : lastWritten; !chosen.isEmpty())
        emit added(chosen);
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

#include "spray_maker_window.h"

#include "game_view.h"
#include "picture_reader.h"
#include "platform.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace tagswap {
namespace {

constexpr int kMaxNameLength = 100;
constexpr int kDitherSteps = 100;

QString defaultName(const QString &imagePath)
{
    return QFileInfo(imagePath).completeBaseName().left(kMaxNameLength);
}

// A plain file name in the spray folder: no folders, nothing hidden.
bool isPlainName(const QString &name)
{
    return !name.trimmed().isEmpty() && name.size() <= kMaxNameLength
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
           && !name.startsWith(QLatin1Char('.'));
}

QPixmap pixmapAt(const QImage &image, int scale)
{
    return QPixmap::fromImage(
        image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

// The picture as large as fits a spray's largest side: a larger one made smaller, a
// smaller one enlarged by whole pixels so that pixel art stays sharp.
QPixmap pictureShown(const QImage &image)
{
    const QSize box(spray::kMaxCanvasSide, spray::kMaxCanvasSide);
    if (image.isNull())
        return {};
    if (image.width() > box.width() || image.height() > box.height())
        return QPixmap::fromImage(image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return pixmapAt(image,
                    std::max(1, spray::kMaxCanvasSide / std::max(image.width(), image.height())));
}

// The options as the player left them, for the next window while Tagswap runs; the
// picture, its frame and the name belong to one spray and are not kept.
struct KeptOptions {
    int size = 0;
    int fit = 0;
    int scaler = 0;
    bool gameGamma = false;
    int dither = int(spray::kDefaultDither * kDitherSteps);
    int threshold = spray::kDefaultAlphaThresholdPercent;
    bool oneColour = false;
    QRgb ink = qRgb(0, 0, 0);
};

KeptOptions &keptOptions()
{
    static KeptOptions kept;
    return kept;
}

QString localImageIn(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

} // namespace

SprayMakerWindow::SprayMakerWindow(Platform &platform, const QString &sprayFolder,
                                   const QString &initialImage, QWidget *parent)
    : QDialog(parent), m_platform(platform), m_sprayFolder(sprayFolder)
{
    setWindowTitle(tr("Make Spray"));
    setAcceptDrops(true);
    buildControls();
    describeControls();
    restoreOptions();
    connectControls();
    if (!initialImage.isEmpty())
        openImage(initialImage);
}

SprayMakerWindow::~SprayMakerWindow()
{
    keepOptions();
    // Closed at once, whatever the reader is still at.
    if (m_cancel)
        m_cancel->store(true);
    m_watcher.waitForFinished();
}

void SprayMakerWindow::forgetKeptOptions()
{
    keptOptions() = KeptOptions{};
}

void SprayMakerWindow::keepOptions() const
{
    keptOptions() = KeptOptions{m_size->currentIndex(),   m_fit->currentIndex(),
                                m_scaler->currentIndex(), m_gameGamma->isChecked(),
                                m_dither->value(),        m_threshold->value(),
                                m_oneColour->isChecked(), m_ink};
}

void SprayMakerWindow::restoreOptions()
{
    const KeptOptions &kept = keptOptions();
    m_size->setCurrentIndex(kept.size);
    m_fit->setCurrentIndex(kept.fit);
    m_scaler->setCurrentIndex(kept.scaler);
    m_gameGamma->setChecked(kept.gameGamma);
    m_dither->setValue(kept.dither);
    m_threshold->setValue(kept.threshold);
    m_oneColour->setChecked(kept.oneColour);
    m_inkButton->setEnabled(kept.oneColour);
    m_ink = kept.ink;
}

void SprayMakerWindow::buildControls()
{
    m_previewPicture = new QLabel(this);
    m_previewPicture->setObjectName(QStringLiteral("previewPicture"));
    m_previewGame = new QLabel(this);
    m_previewGame->setObjectName(QStringLiteral("previewGame"));
    for (QLabel *preview : {m_previewPicture, m_previewGame})
        preview->setAlignment(Qt::AlignCenter);
    // Fixed, so that no picture or spray loaded changes the window's width.
    m_previewPicture->setFixedSize(spray::kMaxCanvasSide, spray::kMaxCanvasSide);
    m_previewGame->setFixedSize(2 * spray::kMaxCanvasSide, 2 * spray::kMaxCanvasSide);

    m_imageName = new QLabel(tr("No image yet: choose one or drop it here."), this);
    // A long file name is cut off rather than widening the window; its tooltip has it whole.
    m_imageName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_chooseImage = new QPushButton(tr("&Image..."), this);
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("sizeBox"));
    m_size->addItem(tr("Largest the game takes (56 blocks)"), QStringLiteral("largest"));
    m_size->addItem(tr("Strict (48 blocks, older servers)"), QStringLiteral("strict"));
    for (const char *exact : {"64x64", "96x96", "112x112", "112x128", "128x112", "128x96", "96x128",
                              "224x64", "64x224"})
        m_size->addItem(QString::fromLatin1(exact), QString::fromLatin1(exact));
    m_fit = new QComboBox(this);
    m_fit->setObjectName(QStringLiteral("fitBox"));
    m_fit->addItem(tr("Fit: whole image, transparent margins"), QStringLiteral("fit"));
    m_fit->addItem(tr("Fill: cut off the excess"), QStringLiteral("fill"));
    m_fit->addItem(tr("Stretch"), QStringLiteral("stretch"));
    m_scaler = new QComboBox(this);
    m_scaler->setObjectName(QStringLiteral("scalerBox"));
    m_scaler->addItem(tr("Automatic: sharp for icons and pixel art"), QStringLiteral("auto"));
    m_scaler->addItem(tr("Smooth"), QStringLiteral("smooth"));
    m_scaler->addItem(tr("Sharp: each pixel a block"), QStringLiteral("sharp"));
    m_gameGamma = new QCheckBox(tr("Look in game as in the picture"), this);
    m_gameGamma->setObjectName(QStringLiteral("gameGammaBox"));
    m_dither = new QSlider(Qt::Horizontal, this);
    m_dither->setObjectName(QStringLiteral("ditherSlider"));
    m_dither->setRange(0, kDitherSteps);
    m_dither->setValue(int(spray::kDefaultDither * kDitherSteps));
    m_threshold = new QSpinBox(this);
    m_threshold->setObjectName(QStringLiteral("thresholdBox"));
    m_threshold->setRange(0, 100);
    m_threshold->setSuffix(QStringLiteral(" %"));
    m_threshold->setValue(spray::kDefaultAlphaThresholdPercent);
    m_frame = new QSpinBox(this);
    m_frame->setObjectName(QStringLiteral("frameBox"));
    m_frame->setRange(1, 1);
    m_oneColour = new QCheckBox(tr("One colour"), this);
    m_oneColour->setObjectName(QStringLiteral("oneColourBox"));
    m_inkButton = new QPushButton(tr("Colour..."), this);
    m_inkButton->setEnabled(false);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("nameEdit"));
    m_name->setMaxLength(kMaxNameLength);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setWordWrap(true);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, this);
    m_buttons->button(QDialogButtonBox::Save)->setEnabled(false);

    auto *imageRow = new QHBoxLayout;
    imageRow->addWidget(m_imageName, 1);
    imageRow->addWidget(m_chooseImage);
    auto *inkRow = new QHBoxLayout;
    inkRow->addWidget(m_oneColour);
    inkRow->addWidget(m_inkButton);
    auto *form = new QFormLayout;
    form->addRow(tr("Size:"), m_size);
    form->addRow(tr("Fit:"), m_fit);
    form->addRow(tr("Enlarging:"), m_scaler);
    form->addRow(tr("Dithering:"), m_dither);
    form->addRow(tr("Transparent below:"), m_threshold);
    form->addRow(tr("Frame:"), m_frame);
    form->addRow(tr("Kind:"), inkRow);
    form->addRow(tr("Colours:"), m_gameGamma);
    form->addRow(tr("Name:"), m_name);
    auto *previews = new QGridLayout;
    previews->addWidget(new QLabel(tr("Picture"), this), 0, 0, Qt::AlignHCenter);
    previews->addWidget(new QLabel(tr("In game"), this), 0, 1, Qt::AlignHCenter);
    previews->addWidget(m_previewPicture, 1, 0, Qt::AlignTop);
    previews->addWidget(m_previewGame, 1, 1, Qt::AlignTop);
    auto *right = new QVBoxLayout;
    right->addLayout(form);
    right->addStretch(1);
    auto *middle = new QHBoxLayout;
    middle->addLayout(previews, 1);
    middle->addLayout(right);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(imageRow);
    layout->addLayout(middle, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_buttons);
}

// Each option says what it does where the player looks for it.
void SprayMakerWindow::describeControls()
{
    m_chooseImage->setToolTip(tr("Choose the picture to make a spray from. You can also drop "
                                 "one on this window."));
    m_size->setToolTip(tr("How large the spray is: the largest the game takes, a size servers "
                          "with the old limit take too, or an exact size."));
    m_fit->setToolTip(tr("How the picture fills the spray: whole, with transparent margins; "
                         "filling it, with the excess cut off; or stretched."));
    m_scaler->setToolTip(tr("How a picture smaller than the spray is enlarged: smoothly, or each "
                            "pixel as a block, which keeps pixel art and icons sharp."));
    m_dither->setToolTip(tr("Mixes palette colours in fine patterns to show colours the palette "
                            "lacks. None keeps flat areas clean."));
    m_threshold->setToolTip(tr("Pixels less opaque than this become transparent; the rest are "
                               "solid. The game shows no pixel partly."));
    m_frame->setToolTip(tr("Which frame of an animated picture becomes the spray."));
    m_oneColour->setToolTip(tr("A logo in one colour, from the picture's transparency or "
                               "darkness, as the game's own logos are."));
    m_inkButton->setToolTip(tr("The colour of the one-colour logo."));
    m_gameGamma->setToolTip(tr("Stores the colours darker, so that the game, which brightens "
                               "sprays, shows the picture's own colours."));
    m_name->setToolTip(tr("The spray's file name in the spray folder; .wad is added."));
}

void SprayMakerWindow::connectControls()
{
    connect(m_chooseImage, &QPushButton::clicked, this, &SprayMakerWindow::chooseImage);
    connect(m_inkButton, &QPushButton::clicked, this, &SprayMakerWindow::chooseInk);
    connect(m_size, &QComboBox::currentIndexChanged, this, &SprayMakerWindow::settingsChanged);
    connect(m_fit, &QComboBox::currentIndexChanged, this, &SprayMakerWindow::settingsChanged);
    connect(m_scaler, &QComboBox::currentIndexChanged, this, &SprayMakerWindow::settingsChanged);
    connect(m_gameGamma, &QCheckBox::toggled, this, &SprayMakerWindow::settingsChanged);
    connect(m_dither, &QSlider::valueChanged, this, &SprayMakerWindow::settingsChanged);
    connect(m_threshold, &QSpinBox::valueChanged, this, &SprayMakerWindow::settingsChanged);
    connect(m_frame, &QSpinBox::valueChanged, this, &SprayMakerWindow::settingsChanged);
    connect(m_oneColour, &QCheckBox::toggled, m_inkButton, &QWidget::setEnabled);
    connect(m_oneColour, &QCheckBox::toggled, this, &SprayMakerWindow::settingsChanged);
    connect(&m_watcher, &QFutureWatcher<Outcome>::finished, this, &SprayMakerWindow::showOutcome);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &SprayMakerWindow::save);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SprayMakerWindow::openImage(const QString &path)
{
    // A picture still being read waits for no one once another is chosen.
    if (m_cancel && m_watcher.isRunning() && m_workPath != path)
        m_cancel->store(true);
    m_imagePath = path;
    m_loaded.reset();
    m_loadedPath.clear();
    m_imageName->setText(QFileInfo(path).fileName());
    m_imageName->setToolTip(QDir::toNativeSeparators(path));
    m_name->setText(defaultName(path));
    m_status->setText(tr("Reading %1...").arg(QFileInfo(path).fileName()));
    // The frames are known once the picture has been read.
    showFrameCount(1);
    settingsChanged();
}

void SprayMakerWindow::showFrameCount(int frames)
{
    const QSignalBlocker blocker(m_frame);
    m_frame->setRange(1, std::min(frames, spray::kMaxFrame + 1));
    m_frame->setEnabled(frames > 1);
}

bool SprayMakerWindow::isPreviewCurrent() const
{
    return m_shownGeneration == m_generation && m_settled && !m_watcher.isRunning();
}

void SprayMakerWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localImageIn(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void SprayMakerWindow::dropEvent(QDropEvent *event)
{
    const QString path = localImageIn(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openImage(path);
}

void SprayMakerWindow::chooseImage()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Choose an Image"), QFileInfo(m_imagePath).path(),
        tr("Images (*.png *.jpg *.jpeg *.gif *.bmp *.webp *.tif *.tiff *.tga *.svg *.svgz);;"
           "All files (*)"));
    if (!path.isEmpty())
        openImage(path);
}

void SprayMakerWindow::chooseInk()
{
    const QColor colour = QColorDialog::getColor(QColor(m_ink), this, tr("Logo Colour"));
    if (!colour.isValid())
        return;
    m_ink = colour.rgb();
    settingsChanged();
}

spray::SprayOptions SprayMakerWindow::options() const
{
    spray::SprayOptions o;
    o.size = spray::parseSizeChoice(m_size->currentData().toString()).value_or(spray::SizeChoice{});
    o.fit = spray::parseFit(m_fit->currentData().toString()).value_or(spray::Fit::Fit);
    o.scaler =
        spray::parseScaler(m_scaler->currentData().toString()).value_or(spray::Scaler::Automatic);
    o.gameGamma = m_gameGamma->isChecked();
    o.dither = double(m_dither->value()) / kDitherSteps;
    o.alphaThresholdPercent = m_threshold->value();
    o.frame = m_frame->value() - 1;
    if (m_oneColour->isChecked())
        o.oneColour = m_ink;
    return o;
}

void SprayMakerWindow::settingsChanged()
{
    ++m_generation;
    m_settled = false;
    m_buttons->button(QDialogButtonBox::Save)->setEnabled(false);
    if (m_imagePath.isEmpty())
        return;
    // One worker at a time: a change made meanwhile is picked up when it finishes.
    if (m_watcher.isRunning())
        m_workPending = true;
    else
        startWork(false);
}

void SprayMakerWindow::startWork(bool careful)
{
    m_workPending = false;
    spray::SprayOptions o = options();
    o.quickPalette = !careful;
    const bool sameImage = m_loadedPath == m_imagePath && m_loadedFrame == o.frame;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_workPath = m_imagePath;
    m_watcher.setFuture(QtConcurrent::run(&SprayMakerWindow::work, m_generation, m_imagePath,
                                          o.frame, sameImage ? m_loaded : nullptr, o, m_cancel));
}

SprayMakerWindow::Outcome
SprayMakerWindow::work(quint64 generation, const QString &path, int frame,
                       std::shared_ptr<const spray::LoadedImage> cached,
                       spray::SprayOptions options,
                       const std::shared_ptr<const std::atomic<bool>> &cancel)
{
    Outcome outcome;
    outcome.generation = generation;
    outcome.path = path;
    outcome.frame = frame;
    outcome.image = std::move(cached);
    outcome.careful = !options.quickPalette;
    if (!outcome.image) {
        // Reduced by the reader to what any spray needs: what the window keeps for as
        // long as it shows the picture, never a photograph of a hundred megapixels.
        auto loaded = spray::readPicture(path, spray::PictureNeed{frame, {}, spray::Fit::Fit},
                                         &outcome.error, cancel.get());
        if (!loaded)
            return outcome;
        outcome.image = std::make_shared<const spray::LoadedImage>(std::move(*loaded));
    }
    outcome.spray = spray::makeSpray(*outcome.image, options, &outcome.error);
    if (outcome.spray) {
        outcome.bytes = spray::sprayFileBytes(*outcome.spray, &outcome.error);
        outcome.preview = decal::renderAsGame(*outcome.spray);
    }
    return outcome;
}

void SprayMakerWindow::showOutcome()
{
    Outcome outcome = m_watcher.result();
    if (outcome.image && outcome.path == m_imagePath) {
        if (m_loadedPath != outcome.path)
            showFrameCount(outcome.image->frameCount);
        m_loaded = outcome.image;
        m_loadedPath = outcome.path;
        m_loadedFrame = outcome.frame;
    }
    // A result for settings that have changed since is of no use: make the current one.
    if (outcome.generation != m_generation || m_workPending) {
        startWork(false);
        return;
    }
    m_current = std::move(outcome);
    m_shownGeneration = m_current.generation;
    const bool ok = m_current.spray && !m_current.bytes.isEmpty();
    m_previewPicture->setPixmap(m_current.image ? pictureShown(m_current.image->image) : QPixmap());
    m_previewGame->setPixmap(ok ? pixmapAt(m_current.preview, 2) : QPixmap());
    m_status->setText(
        ok ? tr("%1x%2 %3, %L4 bytes: the game takes it.")
                 .arg(m_current.spray->width)
                 .arg(m_current.spray->height)
                 .arg(m_current.spray->isColourSpray() ? tr("colour spray") : tr("one-colour logo"))
                 .arg(m_current.bytes.size())
           : m_current.error);
    m_settled = m_current.careful || !ok;
    m_buttons->button(QDialogButtonBox::Save)->setEnabled(ok && m_current.careful);
    if (!m_settled)
        startWork(true);
}

bool SprayMakerWindow::confirmReplace(const QString &path)
{
    return m_platform.question(this,
                               tr("%1 already exists. Replace it?").arg(QFileInfo(path).fileName()),
                               tr("Make Spray"))
           == Answer::Yes;
}

void SprayMakerWindow::save()
{
    if (!isPreviewCurrent() || m_current.bytes.isEmpty())
        return;
    const QString name = m_name->text().trimmed();
    if (!isPlainName(name)) {
        m_platform.messageBox(this, tr("A spray's name is a plain file name, without / or \\."),
                              MsgBoxStyle::Exclamation, tr("Make Spray"));
        return;
    }
    const QString path = QDir(m_sprayFolder).filePath(name + QStringLiteral(".wad"));
    if (QFileInfo::exists(path) && !confirmReplace(path))
        return;
    QString error;
    if (!spray::writeWhole(path, m_current.bytes, &error)) {
        m_platform.messageBox(this, error, MsgBoxStyle::Critical, tr("Make Spray"));
        return;
    }
    m_status->setText(tr("Saved %1 in the spray folder.").arg(QFileInfo(path).fileName()));
    emit saved(path);
}

} // namespace tagswap

#include "editor/ui/Inspector.h"

#include "editor/ColorHex.h"
#include "editor/EditorModel.h"
#include "editor/ui/EditorButton.h"
#include "editor/ui/EditorStyle.h"
#include "editor/ui/InspectorControls.h"
#include "settings/AppSettings.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

namespace zorv
{

namespace
{
constexpr int sidePadding = 16;

QString pixelsText(double value)
{
    // Halves round away from zero, as people round.
    return QStringLiteral("%1 px").arg(std::lround(value));
}

QString percentText(double value)
{
    return QStringLiteral("%1%").arg(std::lround(value * 100));
}

QVBoxLayout *sectionLayout(QWidget *section)
{
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(sidePadding, 14, sidePadding, 14);
    layout->setSpacing(10);
    return layout;
}

QString formatLabel(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png:
        return QStringLiteral("PNG");
    case ImageFormat::jpeg:
        return QStringLiteral("JPEG");
    case ImageFormat::heic:
        return QStringLiteral("HEIC");
    }
    return {};
}
} // namespace

const QStringList &Inspector::swatchColours()
{
    static const QStringList colours{
        QStringLiteral("#FF3B30"), QStringLiteral("#FF9500"), QStringLiteral("#FFCC00"),
        QStringLiteral("#34C759"), QStringLiteral("#00C7BE"), QStringLiteral("#32ADE6"),
        QStringLiteral("#007AFF"), QStringLiteral("#5E5CE6"), QStringLiteral("#AF52DE"),
        QStringLiteral("#FF2D55"), QStringLiteral("#FFFFFF"), QStringLiteral("#000000"),
    };
    return colours;
}

Inspector::Inspector(EditorModel &model, const AppSettings &settings, QWidget *parent)
    : QWidget(parent), m_model(model), m_settings(settings)
{
    setFixedWidth(panelWidth);
    // In mode order; only the current one shows, at its own height.
    m_sections = {buildAnnotate(), buildCrop(), buildBeautify()};

    auto *content = new QWidget;
    content->setAutoFillBackground(false);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QWidget *section : m_sections)
        column->addWidget(section);
    auto *divider = new QWidget(content);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, editorStyle::hairline());
    divider->setPalette(dividerPalette);
    column->addWidget(divider);
    column->addWidget(buildExport());
    column->addStretch(1);

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    // A click on the panel leaves the focus, and the arrow keys, with the
    // canvas; the controls inside are still reached by Tab.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->viewport()->setAutoFillBackground(false);
    content->setObjectName(QStringLiteral("inspectorContent"));
    content->setStyleSheet(QStringLiteral("#inspectorContent { background: transparent; }"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 0, 0, 0);
    layout->addWidget(scroll);

    connect(&m_model, &EditorModel::changed, this, &Inspector::refresh);
    connect(&m_model.tools(), &ToolSettings::changed, this, &Inspector::refresh);
    refresh();
}

QWidget *Inspector::buildAnnotate()
{
    auto *section = new QWidget;
    QVBoxLayout *layout = sectionLayout(section);
    m_toolTitle = editorStyle::sectionTitle({}, section);
    layout->addWidget(m_toolTitle);

    auto *grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    for (int i = 0; i < swatchColours().size(); ++i) {
        const QString hex = swatchColours()[i];
        auto *swatch = new SwatchButton(QColor(hex), QString(), section);
        connect(swatch, &SwatchButton::clicked, this, [this, hex] { setColour(hex); });
        m_swatches.append(swatch);
        grid->addWidget(swatch, i / 6, i % 6);
    }
    layout->addLayout(grid);

    m_custom = new SwatchButton(Qt::red, QStringLiteral("Custom color"), section);
    connect(m_custom, &SwatchButton::clicked, this, &Inspector::openColourDialog);
    layout->addWidget(m_custom);
    layout->addSpacing(4);

    ToolSettings &tools = m_model.tools();
    m_lineWidth = new ValueSlider(QStringLiteral("Thickness"), 1, 60, 59, pixelsText, section);
    connect(m_lineWidth, &ValueSlider::valueChanged, &tools, &ToolSettings::setLineWidth);
    m_fontSize = new ValueSlider(QStringLiteral("Text size"), 10, 240, 230, pixelsText, section);
    connect(m_fontSize, &ValueSlider::valueChanged, &tools, &ToolSettings::setFontSize);
    m_blurRadius = new ValueSlider(QStringLiteral("Blur radius"), 2, 60, 58, pixelsText, section);
    connect(m_blurRadius, &ValueSlider::valueChanged, &tools, &ToolSettings::setBlurRadius);
    m_pixelScale = new ValueSlider(QStringLiteral("Pixel size"), 4, 80, 76, pixelsText, section);
    connect(m_pixelScale, &ValueSlider::valueChanged, &tools, &ToolSettings::setPixelScale);
    for (ValueSlider *slider : {m_lineWidth, m_fontSize, m_blurRadius, m_pixelScale}) {
        m_sliders.append(slider);
        layout->addWidget(slider);
    }
    return section;
}

QWidget *Inspector::buildCrop()
{
    auto *section = new QWidget;
    QVBoxLayout *layout = sectionLayout(section);
    layout->addWidget(editorStyle::sectionTitle(QStringLiteral("Crop"), section));
    m_cropHint = editorStyle::secondaryLabel(
        QStringLiteral("Drag across the image to choose the area to keep."), section);
    m_cropHint->setWordWrap(true);
    layout->addWidget(m_cropHint);

    m_cropChosen = new QWidget(section);
    auto *chosen = new QVBoxLayout(m_cropChosen);
    chosen->setContentsMargins(0, 0, 0, 0);
    chosen->setSpacing(12);
    m_cropSize = editorStyle::secondaryLabel({}, m_cropChosen);
    chosen->addWidget(valueRow(QStringLiteral("Output size"), m_cropSize, m_cropChosen));
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_cancelCrop = new EditorButton(QString(), QStringLiteral("Cancel"), m_cropChosen);
    m_cancelCrop->setBody(EditorButton::Body::filled);
    m_applyCrop =
        new EditorButton(QStringLiteral("crop"), QStringLiteral("Apply Crop"), m_cropChosen);
    m_applyCrop->setBody(EditorButton::Body::accent);
    for (EditorButton *button : {m_cancelCrop, m_applyCrop}) {
        button->setFixedHeight(30);
        buttons->addWidget(button, 1);
    }
    chosen->addLayout(buttons);
    layout->addWidget(m_cropChosen);
    connect(m_cancelCrop, &EditorButton::clicked, &m_model, &EditorModel::cancelCrop);
    connect(m_applyCrop, &EditorButton::clicked, &m_model, &EditorModel::applyCrop);
    return section;
}

QWidget *Inspector::buildBeautify()
{
    auto *section = new QWidget;
    QVBoxLayout *layout = sectionLayout(section);
    layout->addWidget(editorStyle::sectionTitle(QStringLiteral("Background"), section));

    auto *grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(6);
    const QList<BackdropPreset> &presets = Backdrop::presets();
    for (int index = -1; index < presets.size(); ++index) {
        auto *tile = new BackdropTile(index < 0 ? nullptr : &presets[index], section);
        connect(tile, &BackdropTile::clicked, this,
                [this, index] { Q_EMIT backdropChosen(index); });
        m_tiles.append(tile);
        grid->addWidget(tile, (index + 1) / 4, (index + 1) % 4);
    }
    layout->addLayout(grid);
    layout->addSpacing(4);

    m_padding = new ValueSlider(QStringLiteral("Padding"), 0, 0.2, 200, percentText, section);
    m_cornerRadius =
        new ValueSlider(QStringLiteral("Corner radius"), 0, 0.05, 50, percentText, section);
    m_shadow = new ValueSlider(QStringLiteral("Shadow"), 0, 1, 100, percentText, section);
    const auto bind = [this](ValueSlider *slider, double Backdrop::*field) {
        connect(slider, &ValueSlider::valueChanged, this, [this, field](double value) {
            Backdrop backdrop = m_model.backdrop();
            backdrop.*field = value;
            m_model.setBackdrop(backdrop);
        });
        m_sliders.append(slider);
    };
    bind(m_padding, &Backdrop::padding);
    bind(m_cornerRadius, &Backdrop::cornerRadius);
    bind(m_shadow, &Backdrop::shadow);
    for (ValueSlider *slider : {m_padding, m_cornerRadius, m_shadow})
        layout->addWidget(slider);
    return section;
}

QWidget *Inspector::buildExport()
{
    auto *section = new QWidget;
    QVBoxLayout *layout = sectionLayout(section);
    layout->addWidget(editorStyle::sectionTitle(QStringLiteral("Export"), section));
    m_format = editorStyle::secondaryLabel({}, section);
    m_outputSize = editorStyle::secondaryLabel({}, section);
    layout->addWidget(valueRow(QStringLiteral("Format"), m_format, section));
    layout->addWidget(valueRow(QStringLiteral("Output"), m_outputSize, section));
    return section;
}

void Inspector::setMode(EditorMode mode)
{
    m_mode = mode;
    const qsizetype current = editorMode::all().indexOf(mode);
    for (qsizetype i = 0; i < m_sections.size(); ++i)
        m_sections[i]->setVisible(i == current);
    refresh();
}

void Inspector::refresh()
{
    const ToolSettings &tools = m_model.tools();
    const AnnotationTool tool = tools.tool();
    m_toolTitle->setText(annotationTool::title(tool).toUpper());
    for (SwatchButton *swatch : m_swatches)
        swatch->setMarked(
            swatch->colour().name(QColor::HexRgb).compare(tools.colorHex(), Qt::CaseInsensitive) ==
            0);
    m_custom->setColour(colorHex::parseOrRed(tools.colorHex()));
    m_lineWidth->setValue(tools.lineWidth());
    m_fontSize->setValue(tools.fontSize());
    m_blurRadius->setValue(tools.blurRadius());
    m_pixelScale->setValue(tools.pixelScale());
    m_fontSize->setVisible(tool == AnnotationTool::text || tool == AnnotationTool::number);
    m_blurRadius->setVisible(tool == AnnotationTool::blur);
    m_pixelScale->setVisible(tool == AnnotationTool::pixelate);

    const std::optional<QRectF> crop = m_model.cropRect();
    m_cropHint->setVisible(!crop);
    m_cropChosen->setVisible(bool(crop));
    if (crop)
        m_cropSize->setText(QStringLiteral("%1 × %2")
                                .arg(std::lround(crop->width()))
                                .arg(std::lround(crop->height())));

    const Backdrop &backdrop = m_model.backdrop();
    for (int i = 0; i < m_tiles.size(); ++i)
        m_tiles[i]->setMarked(i == 0 ? !backdrop.isOn
                                     : backdrop.isOn && backdrop.presetIndex == i - 1);
    m_padding->setValue(backdrop.padding);
    m_cornerRadius->setValue(backdrop.cornerRadius);
    m_shadow->setValue(backdrop.shadow);

    m_format->setText(formatLabel(m_settings.imageFormat()));
    const QSize pixels = m_model.image().size();
    const int longSide = std::max(pixels.width(), pixels.height());
    const int pad = backdrop.isOn ? int(std::trunc(longSide * std::max(backdrop.padding, 0.0))) : 0;
    m_outputSize->setText(
        QStringLiteral("%1 × %2").arg(pixels.width() + 2 * pad).arg(pixels.height() + 2 * pad));
}

void Inspector::setColour(const QString &hex)
{
    m_model.tools().setColorHex(hex);
    if (std::optional<Annotation> selected = m_model.selectedAnnotation()) {
        if (selected->colorHex == hex)
            return;
        // A text being typed is recorded by its own open step, colour included.
        if (m_model.editingTextID() != selected->id)
            m_model.pushUndo();
        selected->colorHex = hex;
        m_model.replaceAnnotation(*selected);
        m_model.bump();
    }
}

Inspector::~Inspector()
{
    delete m_colourDialog.data();
}

void Inspector::openColourDialog()
{
    // Not modal and without a nested event loop: the window stays live while
    // the dialog is open, and a pick applies when it is made.
    if (!m_colourDialog) {
        // Without a parent: the dialog keeps the desktop's look instead of
        // inheriting the editor's style sheet, which is made for dark surfaces.
        m_colourDialog = new QColorDialog;
        m_colourDialog->setAttribute(Qt::WA_DeleteOnClose);
        m_colourDialog->setWindowTitle(QStringLiteral("Custom color"));
        m_colourDialog->setOption(QColorDialog::ShowAlphaChannel, false);
        connect(m_colourDialog, &QColorDialog::colorSelected, this,
                [this](const QColor &colour) { setColour(colorHex::format(colour)); });
    }
    m_colourDialog->setCurrentColor(colorHex::parseOrRed(m_model.tools().colorHex()));
    m_colourDialog->show();
    m_colourDialog->raise();
    m_colourDialog->activateWindow();
}

BackdropTile *Inspector::backdropTile(int presetIndex) const
{
    return m_tiles.value(presetIndex + 1);
}

ValueSlider *Inspector::slider(const QString &label) const
{
    for (ValueSlider *slider : m_sliders) {
        if (slider->slider()->accessibleName() == label)
            return slider;
    }
    return nullptr;
}

QString Inspector::toolTitle() const
{
    return m_toolTitle->text();
}

QString Inspector::outputSizeText() const
{
    return m_outputSize->text();
}

QString Inspector::formatText() const
{
    return m_format->text();
}

void Inspector::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), editorStyle::panelBackground());
    painter.fillRect(QRect(0, 0, 1, height()), editorStyle::hairline());
}

} // namespace zorv

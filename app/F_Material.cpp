#include "F_Material.h"

#include "formats/colormap.h"
#include "formats/material.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>

namespace
{
constexpr int kSwatchSide = 64;
// Small levels are shown larger, texel for texel, so that they can be seen at all.
constexpr int kSmallestShown = 32;

QString ColourMode(const TMatColourFormat& format)
{
    switch (format.ColorMode)
    {
    case 0:
        return QStringLiteral("indexed");
    case 1:
        return QStringLiteral("RGB");
    default:
        return QStringLiteral("RGBA");
    }
}

QString RuleText(TTexelRule rule)
{
    switch (rule)
    {
    case trIndexed8:
        return QStringLiteral("8-bit indexed");
    case trRgb565:
        return QStringLiteral("16-bit RGB565");
    case trArgb1555:
        return QStringLiteral("16-bit ARGB1555");
    default:
        return QStringLiteral("header-described channels");
    }
}

QString Hex(std::uint32_t argb)
{
    return QStringLiteral("#%1").arg(argb & 0xFFFFFFu, 6, 16, QLatin1Char('0')).toUpper();
}

QLabel* Picture(const TArgbImage& image)
{
    QImage picture(image.Width, image.Height, QImage::Format_ARGB32);
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x)
            picture.setPixel(x, y, image.Pixels[static_cast<std::size_t>(y) * image.Width + x]);
    int scale = 1;
    while (std::max(image.Width, image.Height) * scale < kSmallestShown)
        scale *= 2;
    auto* label = new QLabel;
    label->setPixmap(QPixmap::fromImage(picture.scaled(
        image.Width * scale, image.Height * scale, Qt::KeepAspectRatio, Qt::FastTransformation)));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setToolTip(QStringLiteral("%1 x %2").arg(image.Width).arg(image.Height));
    return label;
}

QLabel* Swatch(std::uint32_t argb)
{
    QPixmap swatch(kSwatchSide, kSwatchSide);
    swatch.fill(QColor::fromRgb(argb | 0xFF000000u));
    auto* label = new QLabel;
    label->setPixmap(swatch);
    label->setToolTip(Hex(argb));
    return label;
}
} // namespace

TMaterialForm::TMaterialForm(std::string_view bytes, const QString& name, const TColormap& colormap,
                             QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    const TMaterial material(bytes);
    setObjectName("MaterialForm");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(name);

    const TMatColourFormat& format = material.Format();
    const int cels = static_cast<int>(material.Cels().size());
    Summary = new QLabel(
        QStringLiteral("%1 material, %2 %3, %4 bits per texel, colour mode %5 (%6)")
            .arg(material.IsTextured() ? QStringLiteral("Texture") : QStringLiteral("Colour"))
            .arg(cels)
            .arg(cels == 1 ? QStringLiteral("cel") : QStringLiteral("cels"))
            .arg(format.Bpp)
            .arg(format.ColorMode)
            .arg(ColourMode(format)));
    Summary->setObjectName("Summary");
    if (!material.Warnings().empty())
    {
        QStringList warnings;
        for (const std::string& w : material.Warnings())
            warnings << QString::fromStdString(w);
        Summary->setText(Summary->text() + QLatin1Char('\n') + warnings.join(QLatin1Char('\n')));
    }

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    for (int c = 0; c < cels; ++c)
    {
        const TMatCel& cel = material.Cels()[static_cast<std::size_t>(c)];
        QList<QLabel*> pictures;
        QString text;
        const std::uint32_t colour = CelColour(material, c, colormap);
        if (!cel.Textured)
        {
            pictures << Swatch(colour);
            text = QStringLiteral("Cel %1: colour %2 (%3)")
                       .arg(c)
                       .arg(cel.ColourIndex)
                       .arg(Hex(colour));
        }
        else
        {
            const TMatTexture& texture =
                material.Textures()[static_cast<std::size_t>(cel.TextureIndex)];
            for (int level = 0; level < texture.MipCount; ++level)
                pictures << Picture(DecodeTexture(material, cel.TextureIndex, colormap, level));
            text =
                QStringLiteral("Cel %1: texture %2, %3 x %4, %5 mip %6, %7%8")
                    .arg(c)
                    .arg(cel.TextureIndex)
                    .arg(texture.Width)
                    .arg(texture.Height)
                    .arg(texture.MipCount)
                    .arg(texture.MipCount == 1 ? QStringLiteral("level") : QStringLiteral("levels"))
                    .arg(RuleText(texture.Rule))
                    .arg(texture.Transparent ? QStringLiteral(", transparent") : QString());
        }
        auto* label = new QLabel(text);
        label->setObjectName(QStringLiteral("Cel%1").arg(c));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        for (QLabel* picture : pictures)
            row->addWidget(picture, 0, Qt::AlignTop);
        row->addStretch(1);
        grid->addLayout(row, c, 0);
        grid->addWidget(label, c, 1);
        CelTexts << label;
        CelPictures << pictures;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(cels, 1);

    auto* inside = new QWidget;
    inside->setLayout(grid);
    auto* scroll = new QScrollArea;
    scroll->setWidget(inside);
    scroll->setWidgetResizable(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(scroll, 1);
    resize(560, 360);
}

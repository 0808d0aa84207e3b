// Added: the material window: one material of an archive shown as modders need it, each cel
// with its mip levels (colour cels as swatches) through the colormap in use, and its size,
// format and colour mode beside them.
#pragma once

#include <QString>
#include <QWidget>

#include <string_view>

class QLabel;
class TColormap;

class TMaterialForm : public QWidget
{
    Q_OBJECT

public:
    // Reads the material in `bytes`; throws EMaterialError as TMaterial does, before any
    // window exists. `name` is the entry's, for the caption. A window of its own even with a
    // parent, deleted when closed.
    TMaterialForm(std::string_view bytes, const QString& name, const TColormap& colormap,
                  QWidget* parent = nullptr);

    // The material as a whole: kind, cels, format, colour mode.
    QLabel* Summary;
    // Per cel, its description beside its pictures.
    QList<QLabel*> CelTexts;
    // Per cel, its pictures: one per mip level, or one swatch.
    QList<QList<QLabel*>> CelPictures;
};

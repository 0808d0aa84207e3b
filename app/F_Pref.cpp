#include "F_Pref.h"

#include "view/colors.h"
#include "dialogs.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

TPrefForm* PrefForm = nullptr;

namespace
{

constexpr int kHatchSpacing = 8;
constexpr int kOutlineWidth = 5;

QFrame* Swatch(QWidget* parent, const char* name, const QColor& color, int x, int y, int w, int h)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(x, y, w, h);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    if (color.isValid())
    {
        QPalette pal = frame->palette();
        pal.setColor(QPalette::Window, color);
        frame->setPalette(pal);
        frame->setAutoFillBackground(true);
    }
    return frame;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TColorMat

void TColorMat::SetOutline(const QColor& color)
{
    FOutline = color;
    update();
}

void TColorMat::SetHatch(const QColor& color)
{
    FHatch = color;
    update();
}

void TColorMat::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF shape = QRectF(rect()).adjusted(kOutlineWidth / 2.0, kOutlineWidth / 2.0,
                                                 -kOutlineWidth / 2.0, -kOutlineWidth / 2.0);
    const qreal radius = std::min(shape.width(), shape.height()) / 8.0;
    QPainterPath path;
    path.addRoundedRect(shape, radius, radius);

    // Lines x + y = c rise to the right on screen, where y grows downwards.
    painter.save();
    painter.setClipPath(path);
    painter.setPen(QPen(FHatch, 1));
    for (int c = 0; c <= width() + height(); c += kHatchSpacing)
        painter.drawLine(QPoint(c, 0), QPoint(0, c));
    painter.restore();

    painter.setPen(QPen(FOutline, kOutlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// ---------------------------------------------------------------------------------------------
// TPrefForm

TPrefForm::TPrefForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("PrefForm");
    setWindowTitle(QStringLiteral("Preferences"));
    setFixedSize(393, 285);
    // The layout is in pixels for this font; with a larger one "Camera" runs into the panel
    // beside it.
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    setFont(formFont);

    OptionTabs = new QTabWidget(this);
    OptionTabs->setObjectName("OptionTabs");
    OptionTabs->setGeometry(8, 8, 377, 241);
    createColorPage();
    createViewportsPage();
    OptionTabs->setCurrentWidget(TabVPs);

    CancelBut = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBut->setObjectName("CancelBut");
    CancelBut->setGeometry(312, 256, 73, 23);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(232, 256, 73, 23);
    OKButton->setAutoDefault(false);
    CancelBut->setAutoDefault(false);
    connect(OKButton, &QPushButton::clicked, this, Command(this, &TPrefForm::OKButtonClick));
    connect(CancelBut, &QPushButton::clicked, this, Command(this, &TPrefForm::CancelButClick));

    CentreOnScreen(this);
}

void TPrefForm::createColorPage()
{
    TabColor = new QWidget;
    TabColor->setObjectName("TabColor");
    OptionTabs->addTab(TabColor, QStringLiteral("Color"));

    ColorList = new QListWidget(TabColor);
    ColorList->setObjectName("ColorList");
    ColorList->setGeometry(0, 8, 137, 169);
    ColorList->setSortingEnabled(true);
    for (int i = 0; i < static_cast<int>(ColorRoles.size()); ++i)
    {
        auto* entry = new QListWidgetItem(QString::fromLatin1(ColorRoles[i].Name));
        entry->setData(Qt::UserRole, i);
        ColorList->addItem(entry);
    }
    connect(ColorList, &QListWidget::itemClicked, this, Command(this, &TPrefForm::ColorListClick));
    connect(ColorList, &QListWidget::currentRowChanged, this,
            Command(this, &TPrefForm::ColorListClick));
    // A double click anywhere in the list, its empty part included; see eventFilter.
    ColorList->viewport()->installEventFilter(this);

    ColorMatBackground = Swatch(TabColor, "ColorMatBackground", QColor(), 152, 8, 209, 201);
    ColorMatBackground->setAutoFillBackground(true);
    SetSampleBackground(0);
    ColorMat = new TColorMat(ColorMatBackground);
    ColorMat->setObjectName("ColorMat");
    ColorMat->setGeometry(24, 24, 161, 153);

    SpeedButton1 = new QPushButton(QStringLiteral("Change Color..."), TabColor);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setGeometry(16, 184, 105, 23);
    SpeedButton1->setAutoDefault(false);
    connect(SpeedButton1, &QPushButton::clicked, this,
            Command(this, &TPrefForm::ColorListDblClick));
}

void TPrefForm::createViewportsPage()
{
    TabVPs = new QWidget;
    TabVPs->setObjectName("TabVPs");
    OptionTabs->addTab(TabVPs, QStringLiteral("Viewports"));

    const struct
    {
        const char* Panel;
        const char* Label;
        const char* Text;
        QColor Color;
    } views[] = {{"pnlFront", "lblFront", "Front", QColor(255, 0, 0)},
                 {"pnlTop", "lblTop", "Top", QColor(0, 255, 0)},
                 {"pnlSide", "lblSide", "Side", QColor(255, 255, 0)},
                 {"pnlCamera", "lblCamera", "Camera", QColor(0, 0, 255)}};
    for (int i = 0; i < 4; ++i)
    {
        Swatch(TabVPs, views[i].Panel, views[i].Color, 0, 8 + 32 * i, 25, 25);
        auto* label = new QLabel(QString::fromLatin1(views[i].Text), TabVPs);
        label->setObjectName(views[i].Label);
        label->move(32, 14 + 32 * i);
        label->adjustSize();
    }

    pnlVPSelect = Swatch(TabVPs, "pnlVPSelect", QColor(), 80, 8, 281, 193);
    VPGroup = new QButtonGroup(this);
    VPGroup->setExclusive(true);
    for (int i = 0; i < 8; ++i)
    {
        auto* button = new QToolButton(pnlVPSelect);
        button->setObjectName(QStringLiteral("ToolbarButton97%1").arg(i + 1));
        button->setText(QStringLiteral("Setting"));
        button->setCheckable(true);
        button->setGeometry(14 + 64 * (i % 4), i < 4 ? 10 : 98, 57, 81);
        VPGroup->addButton(button);
    }
    SpeedButton2 = new QToolButton(TabVPs);
    SpeedButton2->setObjectName("SpeedButton2");
    SpeedButton2->setText(QStringLiteral("Standard"));
    SpeedButton2->setCheckable(true);
    SpeedButton2->setGeometry(2, 176, 73, 25);
    VPGroup->addButton(SpeedButton2);
    SpeedButton2->setChecked(true);
}

bool TPrefForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ColorList->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        RunCommand([this] { ColorListDblClick(); });
    return QDialog::eventFilter(watched, event);
}

int TPrefForm::SelectedRole() const
{
    const QList<QListWidgetItem*> selected = ColorList->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->data(Qt::UserRole).toInt();
}

void TPrefForm::SetSampleBackground(std::int32_t color)
{
    QPalette pal = ColorMatBackground->palette();
    pal.setColor(QPalette::Window, ToQColor(color));
    ColorMatBackground->setPalette(pal);
}

void TPrefForm::ColorListClick()
{
    const int role = SelectedRole();
    const std::int32_t color = role < 0 ? 0 : *ColorRoles[role].Variable;
    SetSampleBackground(BackgroundColor);
    ColorMat->SetOutline(ToQColor(color));
    ColorMat->SetHatch(ToQColor(color));
}

void TPrefForm::ColorListDblClick()
{
    const int role = SelectedRole();
    std::int32_t color = role < 0 ? 0 : *ColorRoles[role].Variable;
    if (const auto chosen = Dialogs().ChooseColor(this, color))
    {
        color = *chosen;
        SetSampleBackground(BackgroundColor);
        ColorMat->SetOutline(ToQColor(color));
    }
    if (role >= 0)
        *ColorRoles[role].Variable = color;
}

void TPrefForm::OKButtonClick()
{
    WriteColorRoles(SettingsFileName());
    emit BackgroundChosen(BackgroundColor);
    accept();
}

void TPrefForm::CancelButClick()
{
    reject();
}

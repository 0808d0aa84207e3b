// The preferences dialog that edits the eight colour roles and writes them to the settings
// file.
#pragma once

#include <QDialog>

#include <cstdint>

class QButtonGroup;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolButton;

// The colour sample: a rounded rectangle with a 5-pixel outline, filled with a hatch of
// lines rising to the right over the sample's background.
class TColorMat : public QWidget
{
    Q_OBJECT

public:
    explicit TColorMat(QWidget* parent = nullptr) : QWidget(parent) {}
    QColor Outline() const { return FOutline; }
    QColor Hatch() const { return FHatch; }
    void SetOutline(const QColor& color);
    void SetHatch(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor FOutline = Qt::black;
    QColor FHatch = Qt::black;
};

// Created once, hidden, and shown modally; keeps its state between showings. Changes to a
// role take effect at once; OK writes all roles to the settings file. Owned by its Qt parent.
class TPrefForm : public QDialog
{
    Q_OBJECT

public:
    explicit TPrefForm(QWidget* parent = nullptr);

    QTabWidget* OptionTabs;
    QWidget* TabColor;
    QWidget* TabVPs;
    QListWidget* ColorList;
    QPushButton* CancelBut;
    QPushButton* OKButton;
    QFrame* ColorMatBackground;
    TColorMat* ColorMat;
    QPushButton* SpeedButton1;
    QFrame* pnlVPSelect;
    QButtonGroup* VPGroup;
    QToolButton* SpeedButton2;

    void ColorListClick();
    void ColorListDblClick();
    void OKButtonClick();
    void CancelButClick();

    // The role index (position in ColorRoles) of the selected list item, or -1.
    int SelectedRole() const;

signals:
    // OK wrote the roles: the main window's background takes `color` (BackgroundColor).
    void BackgroundChosen(std::int32_t color);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetSampleBackground(std::int32_t color);
    void createColorPage();
    void createViewportsPage();
};

extern TPrefForm* PrefForm;

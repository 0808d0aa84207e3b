// The progress window that the loader drives while it blocks the user-interface thread.
#pragma once

#include "model/loader.h"

#include <QWidget>

#include <cstdint>

class QFrame;
class QLabel;
class QProgressBar;

// A small always-on-top window with one label and one gauge. The gauge keeps its own 16-bit
// minimum, maximum and position and never lets the position pass its limits. Owned by its
// Qt parent (the main window).
class TProgressForm : public QWidget, public TLoadProgress
{
    Q_OBJECT

public:
    explicit TProgressForm(QWidget* parent = nullptr);

    QLabel* Progress2;
    QFrame* GaugeBack;
    QProgressBar* Gauge;

    void SetCaption(const std::string& caption) override;
    void SetText(const std::string& text) override;
    void SetMin(std::uint16_t value) override;
    void SetMax(std::uint16_t value) override;
    void SetPosition(int value) override;
    std::uint16_t Position() const override { return FPos; }
    std::uint16_t Min() const { return FMin; }
    std::uint16_t Max() const { return FMax; }
    void Show() override;
    void Hide() override;
    void Update() override;
    void ReportMismatch(const std::string& text) override;
    void Tick(std::uint64_t bytesRead, std::uint64_t totalBytes) override;

private:
    void SyncGauge();

    std::uint16_t FMin = 0, FMax = 100, FPos = 0;
};

extern TProgressForm* ProgressForm;

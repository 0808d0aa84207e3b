// Added: Game, Check for the Game...: what the game would refuse or mishandle in the current
// model, in a window of its own, errors first, under a summary line.
#pragma once

#include "game/gamecheck.h"

#include <QWidget>

#include <vector>

class QLabel;
class QListWidget;

// A window of the main window's, made on first use and filled anew by each check. One line per
// finding, as the command line prints it; each carries its code as its tool tip. Owned by its
// Qt parent.
class TCheckForm : public QWidget
{
    Q_OBJECT

public:
    explicit TCheckForm(QWidget* parent = nullptr);

    QLabel* Summary;
    QListWidget* Findings;

    // Shows `findings` of the model `modelName`: errors first, each group in the order given.
    void ShowFindings(const QString& modelName, const std::vector<TGameFinding>& findings);
};

// The check window of `owner`, made the first time.
TCheckForm* CheckForm(QWidget* owner);

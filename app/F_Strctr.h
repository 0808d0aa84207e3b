// The structure window: the current model as a read-only tree, rebuilt each time it is shown.
#pragma once

#include <QWidget>

class QAction;
class QTreeWidget;

// An always-on-top tool window. Closing it hides it and flips the check mark of the menu item
// that shows it. Owned by its Qt parent.
class TStructureForm : public QWidget
{
    Q_OBJECT

public:
    // `structureItem` is the main window's "3DO &Structure" item.
    explicit TStructureForm(QAction* structureItem, QWidget* parent = nullptr);

    QTreeWidget* Structure;

    // Empties the tree and fills it from CurrentModel.
    void Rebuild();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* FStructureItem;
};

extern TStructureForm* StructureForm;

#include "F_EDIT.h"
#include "view/softcanvas.h"

#include "view/colors.h"
#include "model/model.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>

#include <memory>

namespace
{
// Records what the view asks of the main window.
class TFakeHost : public TViewHost
{
public:
    QString Panels[6];
    QStringList Shown;        // every ShowStatus message
    QStringList Panel0AtShow; // panel 0 when ShowStatus ran

    void SetStatusPanel(int index, const QString& text) override { Panels[index] = text; }
    QString StatusPanel(int index) const override { return Panels[index]; }
    void ShowStatus(const QString& message) override
    {
        Shown << message;
        Panel0AtShow << Panels[0];
    }
};

void Release(QWidget* w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             bool autoRepeat = false)
{
    QKeyEvent event(QEvent::KeyRelease, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(w, &event);
}

void MoveMouse(QWidget* w, int x, int y)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

T3DOVertex Vertex(double x, double y, double z)
{
    T3DOVertex v;
    v.X = x;
    v.Y = y;
    v.Z = z;
    return v;
}

// The current model: one mesh on a root node, with a triangle (-0.25, 0, 0), (0.25, 0, 0), (0, 0,
// 0.1) and a face whose second corner is `badCorner` when it is not 0.
void MakeTriangleModel(int badCorner = 0)
{
    CreateEmptyModel();
    T3DOMesh& mesh = CurrentModel->Get(0).Meshes.Get(0);
    mesh.Vertices.Add(Vertex(-0.25, 0, 0));
    mesh.Vertices.Add(Vertex(0.25, 0, 0));
    mesh.Vertices.Add(Vertex(0, 0, 0.1));
    T3DOFace face;
    face.SetVertexCount(3);
    face.SetCorner(0, 0, 0);
    face.SetCorner(1, static_cast<std::uint16_t>(badCorner ? badCorner : 1), 0);
    face.SetCorner(2, 2, 0);
    mesh.Faces.Add(face);
    T3DONode root;
    root.ParentIndex = root.ChildIndex = root.SiblingIndex = -1;
    HierarchyNodes->Add(root);
}
} // namespace

class TEditFormTest : public QObject
{
    Q_OBJECT

    TFakeDialogs FDialogs;

private slots:
    void initTestCase()
    {
        RegisterViewFactory();
        SetDialogs(&FDialogs);
    }
    void init()
    {
        FDialogs.Messages.clear();
        FDialogs.Icons.clear();
        BackgroundColor = 0xFFFFFF;
        PolygonWireColor = 0x0000FF; // red
        VertexColor = 0xFF0000;      // blue
        GridMarksColor = 0;
        MakeTriangleModel();
    }
    void cleanup()
    {
        BackgroundColor = PolygonWireColor = VertexColor = GridMarksColor = 0;
        FreeModel();
    }

    void creationValues()
    {
        TFakeHost host;
        TEditForm form(&host);
        QCOMPARE(form.windowTitle(), QString("EditForm"));
        QCOMPARE(form.Mat->size(), QSize(291, 204));
        QCOMPARE(form.FCenterX, 145);
        QCOMPARE(form.FCenterY, 102);
        QCOMPARE(form.FZoom, 1000.0);
        QCOMPARE(form.FPlane, vpFront);
        QCOMPARE(form.FProjection, prParallel);
        QCOMPARE(form.FPickMode, pkPolygon);
        QVERIFY(form.FUseOffsets);
        QVERIFY(!form.FShowGrid);
        QVERIFY(form.FShowHierarchy);
        QVERIFY(!form.FShowBoxes);
        QCOMPARE(form.Mat->cursor().shape(), Qt::CrossCursor);
        QVERIFY(form.testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(form.Zoom(), 1000.0);
        QCOMPARE(form.PickMode(), 1);
        QCOMPARE(form.Projection(), 0);
    }

    void backgroundIsTakenAtCreation()
    {
        BackgroundColor = 0x00FF00; // green
        TEditForm form(nullptr);
        BackgroundColor = 0x0000FF;
        QCOMPARE(form.Background->palette().color(QPalette::Window), QColor(0, 255, 0));
    }

    void captionFollowsThePlaneOnlyThroughUpdateCaption_data()
    {
        QTest::addColumn<int>("plane");
        QTest::addColumn<QString>("caption");
        QTest::newRow("front") << 0 << "Front View";
        QTest::newRow("side") << 1 << "Side View";
        QTest::newRow("top") << 2 << "Top View";
    }
    void captionFollowsThePlaneOnlyThroughUpdateCaption()
    {
        QFETCH(int, plane);
        QFETCH(QString, caption);
        TFakeHost host;
        QVERIFY(ViewFactory);
        std::unique_ptr<QWidget> w(ViewFactory(&host, plane));
        auto* form = qobject_cast<TEditForm*>(w.get());
        QVERIFY(form);
        QCOMPARE(int(form->FPlane), plane);
        QCOMPARE(form->windowTitle(), caption);
        // The plane keys change the plane but not the caption.
        Release(form, Qt::Key_T);
        Release(form, Qt::Key_R);
        QCOMPARE(form->FPlane, vpSide);
        QCOMPARE(form->windowTitle(), caption);
        form->FPlane = static_cast<TViewPlane>(7);
        form->UpdateCaption();
        QCOMPARE(form->windowTitle(), caption);
    }

    void keysActOnReleaseOnly()
    {
        TFakeHost host;
        TEditForm form(&host);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier);
        QApplication::sendEvent(&form, &press);
        QVERIFY(!form.FShowBoxes);
        QVERIFY(host.Shown.isEmpty());
        Release(&form, Qt::Key_B, Qt::NoModifier, true); // auto-repeat
        QVERIFY(!form.FShowBoxes);
        QVERIFY(host.Shown.isEmpty());
        Release(&form, Qt::Key_B);
        QVERIFY(form.FShowBoxes);
        QCOMPARE(host.Shown.size(), 1);
    }

    void modifiersSelectTheTable()
    {
        TFakeHost host;
        TEditForm form(&host);
        Release(&form, Qt::Key_Left);
        QCOMPARE(form.FPanX, form.FPanStep);
        Release(&form, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(form.FPanX, form.FPanStep - form.FFinePanStep);
        Release(&form, Qt::Key_Left, Qt::ControlModifier);
        Release(&form, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        Release(&form, Qt::Key_B, Qt::AltModifier);
        QCOMPARE(form.FPanX, form.FPanStep - form.FFinePanStep);
        QVERIFY(!form.FShowBoxes);

        QTest::keyClick(&form, Qt::Key_G, Qt::ControlModifier); // press and release
        QVERIFY(form.FShowGrid);
        Release(&form, Qt::Key_G);
        QVERIFY(form.FShowGrid);

        Release(&form, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(form.FZoom, 1000.0 * form.FZoomFactor);
        Release(&form, Qt::Key_Minus, Qt::KeypadModifier);
        QCOMPARE(form.FZoom, 1000.0);
        Release(&form, Qt::Key_Comma, Qt::KeypadModifier); // the keypad separator
        QCOMPARE(form.FZoom, 1000.0 / form.FZoomFactor);
        Release(&form, Qt::Key_Plus); // the main keyboard's + is no zoom key
        Release(&form, Qt::Key_Minus);
        QCOMPARE(form.FZoom, 1000.0 / form.FZoomFactor);
        // Every release, command or not, refreshed the status: the click's release of Ctrl too.
        QCOMPARE(host.Shown.size(), 13);
    }

    void statusAndReadout()
    {
        TFakeHost host;
        host.Panels[5] = "message";
        TEditForm form(&host);
        MoveMouse(form.Mat, 395, 2);
        QCOMPARE(host.Panels[0], QString("(0.250000, 0.100000, @0.000000)"));
        QCOMPARE(form.FLastMouseX, 395);
        MoveMouse(form.Mat, 45, 152);
        QCOMPARE(host.Panels[0], QString("(-0.100000, -0.050000, @0.000000)"));
        MoveMouse(form.Mat, 395, 2);
        Release(&form, Qt::Key_PageUp);
        Release(&form, Qt::Key_PageUp);
        QCOMPARE(host.Panels[0], QString("(0.250000, 0.100000, @0.002000)"));
        QCOMPARE(host.Shown, QStringList({"message", "message"}));
        // ShowStatus runs before the read-out is refreshed.
        QCOMPARE(host.Panel0AtShow[1], QString("(0.250000, 0.100000, @0.001000)"));
        Release(&form, Qt::Key_T);
        QCOMPARE(host.Panels[0], QString("(0.250000, @0.002000, 0.100000)"));
        Release(&form, Qt::Key_Z); // no command, still refreshed
        QCOMPARE(host.Shown.size(), 4);
    }

    void resizeKeepsTheCentrePoint()
    {
        TEditForm form(nullptr);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.FPanX = 0.1;
        form.FPanY = -0.2;
        form.resize(401, 300);
        QCOMPARE(form.Mat->size(), QSize(401, 300));
        QCOMPARE(form.FCenterX, 200);
        QCOMPARE(form.FCenterY, 150);
        QCOMPARE(form.FZoom, 1000.0);
        QCOMPARE(form.ModelToScreenX(0.1), 200);
        QCOMPARE(form.ModelToScreenY(-0.2), 150);
    }

    void menuIsOfferedForMerging()
    {
        TFakeHost host;
        TEditForm form(&host);
        const QList<QMenu*> menus = form.MergedMenus();
        QCOMPARE(menus.size(), 1);
        QMenu* view = menus[0];
        QCOMPARE(view->title(), QString("&View"));
        const QList<QAction*> items = view->actions();
        QCOMPARE(items.size(), 7);
        QCOMPARE(items[0]->text(), QString("&Grid"));
        QCOMPARE(items[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
        QVERIFY(items[1]->isSeparator());
        QVERIFY(items[2]->menu());
        QCOMPARE(items[2]->text(), QString("View &Plane"));
        QStringList planes;
        for (QAction* a : items[2]->menu()->actions())
            planes << a->text();
        QCOMPARE(planes, QStringList({"&Front", "&Top", "&Side"}));
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4]->text(), QString("&Center View"));
        QCOMPARE(items[5]->text(), QString("&Normalize Zoom"));
        QCOMPARE(items[6]->text(), QString("Reset Viewport"));

        form.Grid1->trigger();
        QVERIFY(form.FShowGrid);
        QCOMPARE(host.Shown.size(), 1);
        form.FZoom = 5;
        form.FPanX = 3;
        form.Top1->trigger();
        form.Zoom1->trigger();
        form.CenterView1->trigger();
        QCOMPARE(form.FPlane, vpTop);
        QCOMPARE(form.FZoom, 1000.0);
        QCOMPARE(form.FPanX, 0.0);
        form.FDepth = 1;
        form.FProjection = prPerspective;
        form.ResetViewport1->trigger();
        QCOMPARE(form.FPlane, vpTop);
        QCOMPARE(form.FDepth, 0.0);
        QCOMPARE(form.FProjection, prParallel);
        QVERIFY(!form.FShowGrid);
    }

    void clicksChangeNothing()
    {
        TFakeHost host;
        TEditForm form(&host);
        QTest::mouseClick(form.Mat, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QVERIFY(!form.FFacePoints);
        QVERIFY(!FaceBuildingActive);
        QCOMPARE(form.FZoom, 1000.0);
        QVERIFY(host.Shown.isEmpty());
    }

    // Dormant in the program, but its limits and messages hold when the flag is set.
    void faceBuildingLimits()
    {
        MessageCaption = "Vellspore";
        TEditForm form(nullptr);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        FaceBuildingActive = true;
        form.FFacePoints = std::make_unique<TVertexList>();
        MoveMouse(form.Mat, 7, 9);
        form.MatClick();
        form.MatClick();
        QCOMPARE(form.FFacePoints->Count(), 2);
        QCOMPARE(form.FFacePoints->Get(1).ScreenX, 7);
        QCOMPARE(form.FFacePoints->Get(1).ScreenY, 9);
        Release(&form, Qt::Key_C);
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(
            FDialogs.Messages[0],
            qMakePair(QString("Vellspore"),
                      QString("By definition, you must have more than 2 vertices in a face.")));
        QVERIFY(FaceBuildingActive);

        for (int k = 2; k < 30; ++k)
            form.MatClick();
        QCOMPARE(form.FFacePoints->Count(), 30);
        form.MatClick();
        QCOMPARE(FDialogs.Messages.size(), 2);
        QCOMPARE(FDialogs.Messages[1].second,
                 QString("You have meet the maximum number of vertices for a given face.  "
                         "The current face will now be closed."));
        QVERIFY(!FaceBuildingActive);
        QCOMPARE(form.FFacePoints->Count(), 30);

        FaceBuildingActive = true;
        Release(&form, Qt::Key_C); // more than 2 points: closes without a word
        QVERIFY(!FaceBuildingActive);
        QCOMPARE(FDialogs.Messages.size(), 2);
    }

    void closingDestroysTheWindow()
    {
        QPointer<TEditForm> form = new TEditForm(nullptr);
        form->show();
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());
    }

    void paintsTheWireframe()
    {
        TEditForm form(nullptr);
        form.resize(640, 480);
        form.FPickMode = pkVertex;
        const QImage image = form.grab().toImage();
        const QColor red(255, 0, 0), blue(0, 0, 255), white(255, 255, 255);
        // Base corners 250 pixels left and right of the centre (320, 240), apex 100 above.
        QCOMPARE(image.pixelColor(320, 240), red);
        QCOMPARE(image.pixelColor(200, 240), red);
        QCOMPARE(image.pixelColor(320, 200), white);
        QCOMPARE(image.pixelColor(320, 260), white);
        QCOMPARE(image.pixelColor(568, 238), blue); // square corner around (570, 240)
        QCOMPARE(image.pixelColor(571, 241), blue);
        QCOMPARE(image.pixelColor(572, 242), white);
        QCOMPARE(image.pixelColor(68, 238), blue);
        QCOMPARE(image.pixelColor(318, 138), blue);

        // The grid: dots every 10 pixels from the centre, in the colour read at paint time.
        GridMarksColor = 0x00FF00;
        Release(&form, Qt::Key_G, Qt::ControlModifier);
        const QImage grid = form.grab().toImage();
        QCOMPARE(grid.pixelColor(330, 250), QColor(0, 255, 0));
        QCOMPARE(grid.pixelColor(325, 250), white);
        QCOMPARE(grid.pixelColor(205, 240), red);

        // The side view shows the base edge on end at the centre.
        Release(&form, Qt::Key_R);
        const QImage side = form.grab().toImage();
        QCOMPARE(side.pixelColor(205, 240), white);
        QCOMPARE(side.pixelColor(318, 238), blue);
    }

    void windowShowsExactlyWhatTheCommandLinePaints()
    {
        TEditForm form(nullptr);
        form.resize(400, 300);
        form.FPickMode = pkVertex;
        form.FShowBoxes = true;
        GridMarksColor = 0x808080;
        form.FShowGrid = true;
        const QImage shown = form.Mat->grab().toImage().convertToFormat(QImage::Format_RGB32);

        // The same view state painted into a pixel buffer, as quillmark-cli view does.
        TViewCore core = form;
        TSoftCanvas canvas(form.Mat->width(), form.Mat->height(), BackgroundColor);
        const QSize outer = form.frameGeometry().size().expandedTo(form.Mat->size());
        core.PaintView(canvas, CurrentScene(), outer.width(), outer.height());
        int differing = 0;
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x)
            {
                const std::int32_t c = canvas.Pixel(x, y);
                if (shown.pixelColor(x, y) != QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF))
                    ++differing;
            }
        QCOMPARE(differing, 0);
    }

    void failingPaintIsReportedOnce()
    {
        MakeTriangleModel(9); // vertex 9 does not exist
        TEditForm form(nullptr);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.grab();
        form.grab();
        QCoreApplication::processEvents();
        QCOMPARE(MessageTexts(FDialogs), std::vector<std::string>{"List index out of bounds"});
        QCOMPARE(FDialogs.Icons, QList<QMessageBox::Icon>{QMessageBox::Critical});
    }
};

QTEST_MAIN(TEditFormTest)
#include "F_EDIT_test.moc"

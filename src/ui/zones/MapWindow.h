#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "app/WindowFrame.h"
#include "console/ConsoleView.h"
#include "settings/WindowLayout.h"

class CConsole;
class CMapView;
class QPushButton;

// "Карта": the zones of the zone map and the shown objects at their positions, in the
// colours of their list rows, kept current by the main window's refresh passes. A
// modeless window with a button (and the Home key) that fits everything into view. It
// reports its place while it is shown, its closing once, and a click on an object.
//
// The base layer under the zones comes from the settings (BaseMapFile, else BaseMapUrl
// with its tiles kept in the program folder's TileCache); it is read at the start and
// whenever the zones are rebuilt.
class CMapWindow : public QDialog {
    Q_OBJECT
public:
    CMapWindow(CConsole& console, QWidget* owner = nullptr);

    CMapView* View() const { return view_; }
    QPushButton* FitAllButton() const { return fitAll_; }

    // Reads the zone map and the base layer's settings again (takes the console lock).
    void RebuildZones();
    // The rows of one refresh pass.
    void ApplyRows(const RefreshSnapshot& snapshot);

    // Places the outer frame at `rect` (position and size).
    void PlaceAt(const LayoutRect& rect);
    // The outer rectangle in screen coordinates.
    LayoutRect CurrentRect() const;

signals:
    void closing(CMapWindow* window);
    void layoutReport(const LayoutRect& rect);
    void objectClicked(int32_t objectNumber);

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ReportLayout();
    // Puts the base layer the settings name under the map, when it is another than the
    // one shown.
    void UpdateBaseLayer();

    CConsole& console_;
    CMapView* view_;
    QPushButton* fitAll_;
    bool closed_ = false;
    WindowFrame::Placed placed_;
    bool frameCorrected_ = false;
    // The settings of the base layer shown.
    std::string baseMapFile_;
    std::string baseMapUrl_;
};

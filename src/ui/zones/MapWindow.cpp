#include "zones/MapWindow.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "app/Icons.h"
#include "app/QtText.h"
#include "app/WindowFrame.h"
#include "basemap/BaseLayerChoice.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "zones/MapView.h"

CMapWindow::CMapWindow(CConsole& console, QWidget* owner) : QDialog(owner), console_(console) {
    setObjectName(QStringLiteral("mapWindow"));
    setWindowTitle(QStringLiteral("Карта"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowIcon(Icons::AppIcon());

    view_ = new CMapView(this);
    view_->setObjectName(QStringLiteral("mapView"));
    fitAll_ = new QPushButton(QStringLiteral("Показать все"), this);
    fitAll_->setObjectName(QStringLiteral("fitAllButton"));
    fitAll_->setAutoDefault(false);
    fitAll_->setFocusPolicy(Qt::NoFocus);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 4, 4, 0);
    buttons->addWidget(fitAll_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(buttons);
    layout->addWidget(view_, 1);
    resize(640, 480);

    connect(fitAll_, &QPushButton::clicked, view_, &CMapView::FitAll);
    connect(view_, &CMapView::objectClicked, this, &CMapWindow::objectClicked);
    RebuildZones();
}

void CMapWindow::UpdateBaseLayer() {
    const Settings settings = CConsoleQueries(console_).CurrentSettings();
    if (settings.baseMapFile == baseMapFile_ && settings.baseMapUrl == baseMapUrl_) {
        return;
    }
    baseMapFile_ = settings.baseMapFile;
    baseMapUrl_ = settings.baseMapUrl;
    const BaseLayerChoice choice = BaseLayerChoice::From(FromCp(baseMapFile_), FromCp(baseMapUrl_),
                                                         FromCp(console_.paths.tileCacheFolder));
    view_->SetBaseLayer(choice.source, choice.note);
}

void CMapWindow::RebuildZones() {
    UpdateBaseLayer();
    std::vector<ZoneRecord> zones;
    { zones = CConsoleQueries(console_).Zones(); }
    view_->SetZones(zones);
}

void CMapWindow::ApplyRows(const RefreshSnapshot& snapshot) {
    view_->ApplyRows(snapshot.rows, !snapshot.stoppedEarly);
}

void CMapWindow::PlaceAt(const LayoutRect& rect) {
    WindowFrame::Place(*this, rect, placed_);
}

LayoutRect CMapWindow::CurrentRect() const {
    return WindowFrame::StoredRect(*this, placed_);
}

void CMapWindow::ReportLayout() {
    // Only what the dispatcher sees is worth keeping: not the moves of set-up or close.
    if (closed_ || !isVisible()) {
        return;
    }
    WindowFrame::FollowFrame(*this, placed_);
    emit layoutReport(CurrentRect());
}

void CMapWindow::reject() {
    // The close box, Escape and the owner's requests all end here; the owner hears of
    // it once.
    if (!closed_) {
        closed_ = true;
        emit closing(this);
    }
    QDialog::reject();
}

void CMapWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        view_->FitAll();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMapWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    ReportLayout();
}

void CMapWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ReportLayout();
}

void CMapWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (placed_.placed) {
        WindowFrame::CorrectAfterFirstShow(*this, placed_, frameCorrected_);
    }
}

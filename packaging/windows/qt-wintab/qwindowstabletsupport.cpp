// Stand-in for Qt's qwindowstabletsupport.cpp in a build without Wacom's Wintab headers
// (Debian's qt6-base source leaves them out): there is never a Wintab context, so the
// Windows platform plugin falls back to Windows Ink for pens, as it does on a machine
// without wintab32.dll.
#include "qwindowstabletsupport.h"

QT_BEGIN_NAMESPACE

QWindowsWinTab32DLL QWindowsTabletSupport::m_winTab32DLL;
int QWindowsTabletSupport::m_absoluteRange = 20;

bool QWindowsWinTab32DLL::init()
{
    return false;
}

QWindowsTabletSupport::QWindowsTabletSupport(HWND window, HCTX context)
    : m_window(window), m_context(context)
{
}

QWindowsTabletSupport::~QWindowsTabletSupport() = default;

QWindowsTabletSupport *QWindowsTabletSupport::create()
{
    return nullptr;
}

void QWindowsTabletSupport::notifyActivate()
{
}

QString QWindowsTabletSupport::description() const
{
    return QString();
}

bool QWindowsTabletSupport::translateTabletProximityEvent(WPARAM, LPARAM)
{
    return false;
}

bool QWindowsTabletSupport::translateTabletPacketEvent()
{
    return false;
}

QT_END_NAMESPACE

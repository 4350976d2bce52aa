#include "gui/SCursor.h"

Qt::CursorShape SCursor::shape(int id) {
    switch (id) {
        case textBeam:
            return Qt::IBeamCursor;
        case wait:
            return Qt::WaitCursor;
        case cross:
            return Qt::CrossCursor;
        case sizeNWSE:
            return Qt::SizeFDiagCursor;
        case sizeNESW:
            return Qt::SizeBDiagCursor;
        case sizeHorizontal:
            return Qt::SplitHCursor;
        case sizeVertical:
            return Qt::SplitVCursor;
        case sizeAll:
            return Qt::SizeAllCursor;
        case forbidden:
            return Qt::ForbiddenCursor;
        case hand:
            return Qt::PointingHandCursor;
        default:
            return Qt::ArrowCursor;
    }
}

#include "gui/SGuiEvent.h"

#include <QApplication>

int SGuiEvent::dragDistance() { return QApplication::startDragDistance(); }

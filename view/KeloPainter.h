// Base of the painters: one painter draws and animates one view element of a diagram.
#pragma once

#include <cstdint>

#include "foundation/SString.h"
#include "gui/SDrawDevice.h"
#include "view/ViewDiagrammControl.h"

class BaseElementData;
class ExtData;
class KeloProjectData;
class ViewElementData;

// Set up once by the factory (init): the channels named by the base element's "extData"
// attribute (onConnectExtData), then the element's attributes (loadAttributes, onInit). The
// diagram polls update about five times a second and repaints the element when it answers true;
// paint draws the element into the device in diagram units (hundredths of a millimetre, y
// upward).
class KeloPainter : public ViewDiagrammControl {
public:
    S_CLASSNAME(KeloPainter)

    KeloPainter() = default;
    ~KeloPainter() override = default;

    // Does not take the event.
    bool handleEvent(SEvent& event) override;
    // After the attributes were read; the base does nothing.
    virtual void onInit() {}
    // Whether the painter needs a repaint; resets the changed flag.
    virtual bool update();
    // The base draws nothing.
    virtual void paint(SDrawDevice& device);
    // Before the factory deletes the painter.
    virtual bool onExit() { return true; }
    // Whether a point lies in the element's rectangle (bounds included).
    virtual bool hitTest(const SPoint& point);
    // A click that reached the painter through its diagram object; the base only reports it.
    virtual void onClick(int click);
    // Reads the painter's settings from the element.
    virtual bool loadAttributes() { return true; }
    // The project's channel of that name; nullptr (with a debug line for a non-empty unknown
    // name) when there is none.
    virtual ExtData* connectExtData(const SString& name);
    // Binds the channels of the "extData" attribute. The base binds nothing and reminds the
    // developer on the debug channel when names are given.
    virtual bool onConnectExtData(const SString& names);

    // Called once by the factory: stores the element (its "clientRect" becomes rect), connects
    // the channels and, when that worked, reads the attributes. False for a null element or a
    // failed connection.
    bool init(ViewElementData* element, KeloProjectData* project, int painterType);
    int getPainterType() const { return painterType_; }
    ViewElementData* getElement() const { return element_; }
    KeloProjectData* getProject() const { return project_; }
    // The element's base element, or nullptr.
    BaseElementData* getBaseElement() const;
    // The element's rectangle (an empty one without element).
    SRect getElementRect() const;

    void setChanged() { changed_ = 1; }
    bool isChanged() const { return changed_ != 0; }

    // The attributes of the painter's own (view) element, or the default without element.
    // A tagged value ("\xB3\xB3key\xB3\xB3German text", for the texts a user reads) comes back
    // in the program's language.
    SString getAttributeString(const SString& key, const SString& defaultValue = SString()) const;
    // A text of the repository in the program's language: a tagged text translated (or its
    // German default), any other text as it is.
    static SString userText(const SString& text);
    int32_t getAttributeInt(const SString& key, int32_t defaultValue = 0) const;
    double getAttributeDouble(const SString& key, double defaultValue = 0.0) const;

protected:
    int changed_ = 1;
    ViewElementData* element_ = nullptr;
    KeloProjectData* project_ = nullptr;
    int painterType_ = 0;
};

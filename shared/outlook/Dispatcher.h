// CDispatcher: late binding to the Outlook (and Word) object model. Every
// member is looked up by name on the object's IDispatch at run time, so one
// build runs against every Outlook version. Classes that talk to Outlook
// derive from it; it holds nothing, so its helpers are static.
//
// Member names and user-property names are UTF-16, as the object model
// knows them; the texts stored in user properties are the system's narrow
// text. Out VARIANTs must be initialised (a CVariant always is); what they
// held is cleared first.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "classlib/strings/CString.h"
#include "shared/outlook/OutlookEnums.h"

class CDispatcher {
public:
    // The Outlook value of the user-property type "text".
    static constexpr long kUserPropertyText = ol::kUserPropertyText;

    // Preferences of GetParentWindow.
    enum WindowPreference { kPreferExplorer = 0, kPreferInspector = 1, kPreferEither = 2 };

    // Reads a property (or calls a member without arguments). A failed name
    // look-up is returned as it came.
    static HRESULT GetProp(IDispatch* object, const wchar_t* name, VARIANT* result);
    // Reads a text property; a value that is no text counts as empty.
    static HRESULT GetTextProp(IDispatch* object, const wchar_t* name, CString& text);
    // Reads a property as a number; number is left as it was on failure.
    static HRESULT GetLongProp(IDispatch* object, const wchar_t* name, long& number);

    // Sets a property. Objects, arrays and references are first offered by
    // reference, since many members take only that; a member that does not
    // take them by reference gets them by value.
    static HRESULT PutProp(IDispatch* object, const wchar_t* name, VARIANT* value);

    // Calls a method with argCount positional arguments in automation order
    // (the last parameter first). Members that are parametrised properties
    // (such as Item) refuse a plain method call with DISP_E_MEMBERNOTFOUND,
    // so such a call is tried once more as a property read, and that second
    // result counts; any other failure is the answer. result may be null
    // when the caller wants no value.
    static HRESULT CallMethod(IDispatch* object, const wchar_t* name, VARIANT* result, int argCount,
                              VARIANT* args);

    // Finds the item's custom user property by name. With create, a missing
    // one is added as a text property; addToFolderFields asks for it to be
    // shown in the folder too, which some folders refuse, so that is tried
    // first and then without. property receives the property object, or
    // stays empty when there is none. Result of the last object-model call.
    static HRESULT FindUserProperty(IDispatch* item, const wchar_t* propertyName, VARIANT* property,
                                    BOOL addToFolderFields, BOOL create);

    // Sets the text of a user property, adding it when missing, and saves
    // the item when asked and the value went in.
    static HRESULT SetUserProperty(IDispatch* item, const wchar_t* propertyName, const char* value,
                                   BOOL addToFolderFields, BOOL save);

    // The text of a user property. A value of another type is given in its
    // text form (a number as its digits); one with no text form (null, an
    // object) gives DISP_E_TYPEMISMATCH. S_FALSE with an empty
    // text when the item has no such property.
    static HRESULT GetUserProperty(IDispatch* item, const wchar_t* propertyName, CString& value);

    // The Outlook window that the system's dialogs are to be owned by: the
    // explorer's, the open inspector's, or the inspector's and else the
    // explorer's (WindowPreference), each the object's own window
    // (IOleWindow). The active explorer's when the preferred one has none;
    // null (no owner) when Outlook shows no window at all, never the
    // desktop: a modal dialog disables its owner.
    static HWND GetParentWindow(IDispatch* application, int preference);
    // The window of an explorer or inspector object, through IOleWindow as
    // Outlook gives it; null when it has none (closed, or not a window).
    static HWND GetWindowOf(IDispatch* window);
    // The window a dialog acting for that explorer or inspector is owned by:
    // its own, else the active explorer's, else null.
    static HWND GetOwnerWindow(IDispatch* application, IDispatch* window);
};

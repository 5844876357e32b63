// SPDX-License-Identifier: AGPL-3.0-or-later
/* Vellora plug-in interface: the host's service tables.
 *
 * Every table is a struct of function pointers that begins with its size in
 * bytes. The host publishes each table under a name and at one or more
 * versions; Core.GetTable(name, version) gives the table published at exactly
 * that version, or none. Unless an entry says otherwise, operations may be
 * called only on the host's user-interface thread, from inside a call the
 * host made into the plug-in, after the plug-in's setup routine has run.
 *
 * Ownership: "acquired" results carry a reference that the plug-in gives back
 * with the matching Release entry; "borrowed" results are owned by the host
 * and stay valid as long as the object they came from.
 *
 * Threads and re-entrancy: each entry ends with its rule in brackets.
 *   [ui]          the host's user-interface thread, inside a call the host
 *                 made into the plug-in; returns without calling the plug-in.
 *   [ui, setup]   the same, and usable from the setup routine on.
 *   [ui, modal]   the same; runs a modal loop (the person answers or drags)
 *                 and returns when it ends, calling no plug-in routine meanwhile.
 *   [ui, calls X] the same; calls the plug-in's routine X before it returns,
 *                 so the caller's own state must be whole when it calls.
 * No entry may be called from another thread, nor from a signal handler.
 */
#ifndef VX_TABLES_H
#define VX_TABLES_H

#include "vx_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Names under which the host publishes its tables. */
#define VX_TABLE_SUPPORT "Support"
#define VX_TABLE_OBJECT "Object"
#define VX_TABLE_MODEL "Model"
#define VX_TABLE_VIEWER "Viewer"
#define VX_TABLE_PLATFORM "Platform"

/* Common head of every table. */
typedef struct HostTable {
    uint32_t size;
} HostTable;

/* Core: handed over in the setup record. */
typedef struct CoreTable {
    uint32_t size;
    /* Interns text and gives its atom; the same text always gives the same atom. [ui, setup] */
    Atom (*AtomFromString)(const char *text);
    /* Wraps a plug-in routine; every call gives a fresh handle, valid for the process.
       [ui, setup] */
    HostCallback (*MakeCallback)(ExtensionId extension, HostProc routine);
    /* The table published under the name at exactly this version, or NULL. Borrowed. [ui, setup] */
    const HostTable *(*GetTable)(Atom name, uint32_t version);
    /* The host's configuration value for the key; 0 when absent. [ui, setup] */
    int32_t (*GetConfiguration)(Atom key);
} CoreTable;

/* Support: memory, arithmetic and files. */
typedef struct SupportTable {
    uint32_t size;
    /* A block of `bytes` bytes owned by the caller, or NULL when refused. [ui] */
    void *(*Allocate)(uint32_t bytes);
    /* Gives back a block from Allocate; NULL is ignored. [ui] */
    void (*Free)(void *block);
    /* a / b in 16.16, rounded to nearest; b = 0 gives the largest value of a's sign. [ui] */
    Fixed (*FixedDiv)(Fixed a, Fixed b);
    /* The path of a document's file, or NULL when it has none. Acquired;
       stays valid after the document is closed. [ui] */
    HostPath (*AcquireFilePath)(HostFile file);
    /* Gives back a path from AcquireFilePath; the host also frees any left at exit. [ui] */
    void (*ReleaseFilePath)(HostPath path);
    /* The host's default file system. Borrowed. [ui] */
    HostFileSystem (*DefaultFileSystem)(void);
} SupportTable;

/* Object: low-level document objects. No entry is used by this interface's
   clients yet; the table is still part of the contract. */
typedef struct ObjectTable {
    uint32_t size;
} ObjectTable;

/* Platform: window-system services. No entry is used yet. */
typedef struct PlatformTable {
    uint32_t size;
} PlatformTable;

/* Model: documents and pages. */
typedef struct ModelTable {
    uint32_t size;
    /* Number of pages of the document. [ui] */
    int32_t (*PageCount)(Document doc);
    /* Page `index` (from 0). Acquired: give it back with ReleasePage. [ui] */
    Page (*AcquirePage)(Document doc, int32_t index);
    /* Gives back a page from AcquirePage. [ui] */
    void (*ReleasePage)(Page page);
    /* Permission bits; VX_PERMISSION_EDIT (8) when the document may be edited. [ui] */
    uint32_t (*DocumentPermissions)(Document doc);
    /* The page's rotation in degrees as the document states it (0, 90, 180, 270 normally). [ui] */
    int16_t (*PageRotation)(Page page);
    /* The page's media box in page space. [ui] */
    void (*GetMediaBox)(Page page, FixedRect *box);
    /* The page's crop box; the media box when the page has none. [ui] */
    void (*GetCropBox)(Page page, FixedRect *box);
    /* The bounding box of the marks the page shows (inside its crop box; the
       ink of images, not their frames); for a page that shows none, its crop
       box. Either is grown by the host's margin setting and may then reach
       beyond the media box: clip it before use. [ui] */
    void (*GetBoundingBox)(Page page, FixedRect *box);
    /* Sets the crop box exactly as given (sides in any order) and marks the
       document modified. [ui] */
    void (*SetCropBox)(Page page, Fixed left, Fixed top, Fixed right, Fixed bottom);
    /* Tells the host the page changed; views of it redraw. [ui] */
    void (*NotifyPageChanged)(Page page);
    /* Document flags; VX_DOC_MODIFIED (1) while there are unsaved changes. [ui] */
    uint32_t (*DocumentFlags)(Document doc);
    /* The document's file, or NULL when it was never saved. Borrowed. [ui] */
    HostFile (*DocumentFile)(Document doc);
} ModelTable;

/* Viewer: windows, views, menus, toolbar, tools, drawing and alerts. */
typedef struct ViewerTable {
    uint32_t size;

    /* Alerts (modal). */
    /* Asks a question; the answer is the number of the button pressed,
       VX_ALERT_BUTTON1..3. Buttons may be NULL; icon 3 is a question. [ui, modal] */
    int32_t (*Alert)(int16_t icon, const char *message, const char *button1, const char *button2,
                     const char *button3, HostBool flag);
    /* Shows a note with one OK button. [ui, modal] */
    void (*AlertNote)(const char *message);
    /* Asks the user to confirm; nonzero means confirmed. [ui, modal] */
    HostBool (*AlertConfirm)(const char *message);

    /* Progress and stop requests, valid for the command being run. */
    /* The cancel check function and its data word. Borrowed. [ui] */
    CancelCheckProc (*GetCancelCheck)(void **data);
    /* The progress monitor and its data word, or NULL. Borrowed. [ui] */
    const ProgressMonitor *(*GetProgressMonitor)(void **data);

    /* Windows and views. All results are borrowed. */
    /* [ui] */
    DocWindow (*GetActiveDocWindow)(void);
    /* [ui] */
    Document (*DocumentOf)(DocWindow window);
    /* [ui] */
    PageView (*PageViewOf)(DocWindow window);
    /* The page shown in the view; borrowed, never released. [ui] */
    Page (*PageOf)(PageView view);
    /* Index from 0 of the page shown in the view. [ui] */
    int32_t (*PageNumberOf)(PageView view);
    /* Closes the window; with noSave = 1 unsaved changes are dropped. Nonzero when closed.
       [ui, modal] */
    HostBool (*CloseDocWindow)(DocWindow window, HostBool noSave);
    /* Opens the file in a new active window; NULL title leaves it to the host.
       NULL when the host could not open it (the host has told the user). [ui, modal] */
    DocWindow (*OpenDocFromFile)(HostPath path, HostFileSystem fileSystem, const char *title);

    /* Coordinates. */
    /* Page rectangle to device pixels of the view; the result is ordered. [ui] */
    void (*RectToDevice)(PageView view, const FixedRect *rect, DeviceRect *out);
    /* Device rectangle of the view to page space; the result is ordered. [ui] */
    void (*DeviceRectToPage)(PageView view, const DeviceRect *rect, FixedRect *out);

    /* Drawing. */
    /* Marks the area for redrawing. [ui] */
    void (*InvalidateRect)(PageView view, const DeviceRect *rect);
    /* Redraws the invalid area now, then calls the page-view drawing routines
       (not from inside one of them for the same view).
       [ui, calls the page-view drawing routines] */
    void (*DrawNow)(PageView view);
    /* Outlines the rectangle in the view's current colour; dashes may be NULL. [ui] */
    void (*DrawRectOutline)(PageView view, const DeviceRect *rect, int32_t lineWidth,
                            const Fixed *dashes, int32_t dashCount);
    /* The view's current drawing colour. [ui] */
    void (*GetColor)(PageView view, ColorValue *color);
    /* Sets the view's drawing colour for what follows. [ui] */
    void (*SetColor)(PageView view, const ColorValue *color);
    /* Calls the routine (a PageViewDrawingProc) after every drawing of any view. [ui] */
    void (*RegisterPageViewDrawing)(HostCallback routine, void *data);
    /* Stops calling the routine. [ui] */
    void (*UnregisterPageViewDrawing)(HostCallback routine);

    /* Mouse and cursors. */
    /* Follows the mouse from (x, y) until release; the rectangle dragged out. [ui, modal] */
    void (*DragOutNewRect)(PageView view, int16_t x, int16_t y, DeviceRect *out);
    /* Follows the mouse from (x, y), moving the part of `start` that `kind`
       names (VX_DRAG_*); `limits` may be NULL. [ui, modal] */
    void (*DragRect)(PageView view, int16_t x, int16_t y, const DeviceRect *start, DeviceRect *out,
                     int32_t kind, const DeviceRect *limits);
    /* Modifier keys held down (VX_MODIFIER_*). [ui] */
    uint16_t (*GetModifiers)(void);
    /* One of the host's own cursors. Borrowed. [ui] */
    HostCursorHandle (*GetStandardCursor)(int32_t number);
    /* Shows the cursor. [ui] */
    void (*SetCursor)(HostCursorHandle cursor);

    /* Tools. */
    /* Registers a tool; the record must live as long as the process. [ui] */
    void (*RegisterTool)(ToolRecord *tool);
    /* Makes the tool active; flag 1 also activates it for the whole application.
       [ui, calls the old tool's deactivate and the new tool's activate routine] */
    void (*SetActiveTool)(ToolRecord *tool, HostBool flag);
    /* The active tool's record, or NULL. [ui] */
    ToolRecord *(*GetActiveTool)(void);

    /* Menus. */
    /* [ui] */
    Menubar (*GetMenubar)(void);
    /* The menu of that name anywhere in the menubar, or NULL. Acquired. [ui] */
    Menu (*AcquireMenuByName)(Menubar menubar, const char *name);
    /* [ui] */
    void (*ReleaseMenu)(Menu menu);
    /* The item of that name anywhere in the menubar, or NULL. Acquired. [ui] */
    MenuItem (*AcquireMenuItemByName)(Menubar menubar, const char *name);
    /* The same item with one more reference. Acquired. [ui] */
    MenuItem (*AcquireMenuItem)(MenuItem item);
    /* [ui] */
    void (*ReleaseMenuItem)(MenuItem item);
    /* The item's position in the menu from 0; -1 when it is not there. [ui] */
    int32_t (*MenuItemIndex)(Menu menu, MenuItem item);
    /* A new menu, findable by name. Acquired. [ui] */
    Menu (*NewMenu)(const char *title, const char *name, ExtensionId extension);
    /* A new item; submenu NULL makes a command item. Lives for the process. [ui] */
    MenuItem (*NewMenuItem)(const char *title, const char *name, Menu submenu, HostBool flag,
                            int16_t shortcut, int16_t modifiers, HostBitmapHandle icon,
                            ExtensionId extension);
    /* Inserts the item at index (VX_MENU_APPEND appends). [ui] */
    void (*AddMenuItem)(Menu menu, MenuItem item, int32_t index);
    /* Takes the item out of its menu; the item stays valid. [ui] */
    void (*RemoveMenuItem)(MenuItem item);
    /* [ui] */
    void (*SetMenuItemExecute)(MenuItem item, HostCallback routine, void *data);
    /* [ui] */
    void (*SetMenuItemEnabledTest)(MenuItem item, HostCallback routine, void *data);
    /* [ui] */
    void (*SetMenuItemMarkedTest)(MenuItem item, HostCallback routine, void *data);
    /* Runs the item's execute routine as a choice of the item would.
       [ui, calls the item's execute routine] */
    void (*ExecuteMenuItem)(MenuItem item);

    /* Toolbar. */
    /* [ui] */
    Toolbar (*GetToolbar)(void);
    /* The button of that name, or NULL. Borrowed. [ui] */
    ToolbarButton (*GetToolbarButtonByName)(Toolbar toolbar, Atom name);
    /* Whether the toolbar has room for more buttons and separators. [ui] */
    HostBool (*ToolbarHasRoom)(Toolbar toolbar, int16_t buttons, int16_t separators);
    /* A new button with an icon. Lives for the process. [ui] */
    ToolbarButton (*NewToolbarButton)(Atom name, HostBitmapHandle icon, HostBool flag1,
                                      HostBool flag2);
    /* With before = 1 puts the button just before `other`; NULL other appends. [ui] */
    void (*AddToolbarButton)(Toolbar toolbar, ToolbarButton button, HostBool before,
                             ToolbarButton other);
    /* [ui] */
    void (*SetButtonExecute)(ToolbarButton button, HostCallback routine, void *data);
    /* [ui] */
    void (*SetButtonEnabledTest)(ToolbarButton button, HostCallback routine, void *data);
    /* [ui] */
    void (*SetButtonMarkedTest)(ToolbarButton button, HostCallback routine, void *data);
    /* [ui] */
    void (*SetButtonHelpText)(ToolbarButton button, const char *text);
} ViewerTable;

/* Versions the host publishes by default. */
#define VX_SUPPORT_VERSION VX_VERSION(2, 2)
#define VX_OBJECT_VERSION VX_VERSION(2, 2)
#define VX_MODEL_VERSION VX_VERSION(2, 3)
#define VX_VIEWER_VERSION VX_VERSION(2, 3)
#define VX_PLATFORM_VERSION VX_VERSION(2, 2)

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VX_TABLES_H */

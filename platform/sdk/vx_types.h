// SPDX-License-Identifier: AGPL-3.0-or-later
/* Vellora plug-in interface: basic types and the records exchanged at start-up.
 *
 * This header is the contract between the host and a plug-in module. It is
 * plain C (C11) and C++ compatible; nothing in it depends on the host's
 * implementation. Every record keeps its documented 32-bit byte offsets;
 * on 64-bit targets the pointer-sized fields grow with natural alignment.
 */
#ifndef VX_TYPES_H
#define VX_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 16.16 signed fixed point page unit; 72.0 (0x480000) is one inch. */
typedef int32_t Fixed;
#define VX_FIXED_ONE ((Fixed)0x10000)

/* Interned string handle. */
typedef uint16_t Atom;

/* 16-bit boolean: 1 true, 0 false. */
typedef uint16_t HostBool;
#define VX_TRUE ((HostBool)1)
#define VX_FALSE ((HostBool)0)

/* Handle of a plug-in routine registered with Core.MakeCallback; 0 is none. */
typedef uint32_t HostCallback;
#define VX_NO_CALLBACK ((HostCallback)0)

/* Identifies a plug-in to the host; handed over in the setup record. */
typedef uint32_t ExtensionId;

/* Interface versions: major in the upper 16 bits, minor in the lower. */
#define VX_VERSION(major, minor) ((uint32_t)(((uint32_t)(major) << 16) | (uint32_t)(minor)))
#define VX_HANDSHAKE_VERSION VX_VERSION(2, 0)

/* Page-space rectangle, y growing upward; a proper one has top > bottom.
 * Nothing in the interface puts the sides in order. */
typedef struct FixedRect {
    Fixed left;
    Fixed top;
    Fixed right;
    Fixed bottom;
} FixedRect;

/* Device rectangle in 16-bit pixels of a page view, y growing downward. */
typedef struct DeviceRect {
    int16_t left;
    int16_t top;
    int16_t right;
    int16_t bottom;
} DeviceRect;

/* Opaque host handles. Each is a distinct pointer type so that a page
 * cannot be passed where a page view is wanted. */
typedef struct DocWindow_ *DocWindow;
typedef struct PageView_ *PageView;
typedef struct Document_ *Document;
typedef struct Page_ *Page;
typedef struct Menubar_ *Menubar;
typedef struct Menu_ *Menu;
typedef struct MenuItem_ *MenuItem;
typedef struct Toolbar_ *Toolbar;
typedef struct ToolbarButton_ *ToolbarButton;
typedef struct HostFile_ *HostFile; /* a document's file */
typedef struct HostPath_ *HostPath; /* a path in a file system */
typedef struct HostFileSystem_ *HostFileSystem;

/* Window-system handles travel through the interface untouched. They are
 * declared the way the platform's own headers declare them, so a module
 * that includes those headers sees the same types. */
struct HWND__;
struct HINSTANCE__;
struct HBITMAP__;
struct HICON__;
typedef struct HWND__ *HostWindowHandle;
typedef struct HINSTANCE__ *HostModuleHandle;
typedef struct HBITMAP__ *HostBitmapHandle;
typedef struct HICON__ *HostCursorHandle;

/* Generic routine address given to Core.MakeCallback. The host calls the
 * routine back with the signature that belongs to the slot it is attached
 * to (see the Proc types below). */
typedef void (*HostProc)(void);

/* Routine kinds the host calls through callbacks. `data` is the client data
 * attached together with the callback. */
typedef void (*ExecuteProc)(void *data);
typedef HostBool (*TestProc)(void *data);
typedef void (*PageViewDrawingProc)(PageView view, void *data);

/* Start-up conversation. ------------------------------------------------ */

/* Given by the host to PlugInMain. */
typedef struct StartRecord {
    HostWindowHandle mainWindow;     /* 32-bit offset 0 */
    HostModuleHandle moduleInstance; /* 32-bit offset 4 */
} StartRecord;

struct CoreTable;

/* Given to the setup routine. */
typedef struct SetupRecord {
    uint32_t handshakeVersion;    /* offset 0: must be 0x20000 */
    ExtensionId extensionId;      /* offset 4 */
    const struct CoreTable *core; /* offset 8 */
    HostCallback handshake;       /* 32-bit offset 12: filled by the plug-in */
} SetupRecord;

/* Given to the handshake routine. The first six bytes are the host's. */
typedef struct HandshakeRecord {
    uint8_t hostReserved[6];  /* offsets 0..5, left untouched */
    Atom extensionName;       /* offset 6 */
    HostCallback exportEntry; /* offset 8: none */
    HostCallback importEntry; /* offset 12: none */
    HostCallback initialize;  /* offset 16: the initialisation routine */
    HostCallback unload;      /* offset 20: none */
} HandshakeRecord;

typedef HostBool (*SetupProc)(uint32_t handshakeVersion, SetupRecord *record);
typedef HostBool (*HandshakeProc)(uint32_t handshakeVersion, HandshakeRecord *record);
typedef HostBool (*InitializeProc)(void);

/* The module's one export. Stores the start record's handles, answers the
 * agreed version (0x20000, or the host's when lower) and the setup routine
 * as a plain address. Never fails. */
typedef HostBool (*PlugInMainProc)(uint32_t hostVersion, uint32_t *agreedVersion,
                                   SetupProc *setupOut, const StartRecord *start);
#define VX_ENTRY_POINT_NAME "PlugInMain"

/* Tools. ---------------------------------------------------------------- */

/* A tool is eleven 32-bit words (44 bytes) on every target. The host keeps
 * the record's address; that address is the tool's identity. Entries the
 * tool does not fill are 0. */
typedef struct ToolRecord {
    uint32_t size;             /* 0: 44 */
    HostCallback activate;     /* 4: void (ToolRecord*) when the tool becomes active */
    HostCallback deactivate;   /* 8: void (ToolRecord*) when another tool takes over */
    HostCallback click;        /* 12: ToolClickProc */
    HostCallback adjustCursor; /* 16: ToolCursorProc */
    HostCallback keyDown;      /* 20: unused by this host */
    HostCallback type;         /* 24: ToolTypeProc, the tool's name atom */
    HostCallback isAvailable;  /* 28: TestProc called with the record */
    HostCallback reserved[3];  /* 32, 36, 40 */
} ToolRecord;

typedef void (*ToolActivateProc)(ToolRecord *tool);
typedef HostBool (*ToolClickProc)(ToolRecord *tool, PageView view, int16_t x, int16_t y);
typedef HostBool (*ToolCursorProc)(ToolRecord *tool, PageView view, int16_t x, int16_t y);
typedef Atom (*ToolTypeProc)(ToolRecord *tool);

/* Which part of the rectangle follows the mouse in Viewer.DragRect. */
#define VX_DRAG_WHOLE 0
#define VX_DRAG_TOP_LEFT 1
#define VX_DRAG_TOP_RIGHT 2
#define VX_DRAG_BOTTOM_RIGHT 3
#define VX_DRAG_BOTTOM_LEFT 4

/* Modifier flags of Viewer.GetModifiers. */
#define VX_MODIFIER_SHIFT 8
#define VX_MODIFIER_CONTROL 4

/* Host's standard cursors for Viewer.GetStandardCursor. */
#define VX_CURSOR_ARROW 0

/* Drawing. -------------------------------------------------------------- */

/* Colour of a page view's drawing. 20 bytes. */
typedef struct ColorValue {
    int16_t space;  /* 0: colour-space code */
    uint8_t pad[2]; /* 2: alignment */
    Fixed value[4]; /* 4: components */
} ColorValue;

#define VX_COLOR_SPACE_GRAY 0
#define VX_COLOR_SPACE_RGB 1
#define VX_COLOR_SPACE_CMYK 2

/* Progress and cancel. -------------------------------------------------- */

/* Host progress display; an entry of 0 is skipped by callers. */
typedef struct ProgressMonitor {
    uint32_t size;
    void (*begin)(void *data);
    void (*end)(void *data);
    void (*setDuration)(int32_t count, void *data);
    void (*setCurrentValue)(int32_t value, void *data);
} ProgressMonitor;

/* Nonzero once the user has asked to stop. */
typedef HostBool (*CancelCheckProc)(void *data);

/* Values. --------------------------------------------------------------- */

#define VX_PERMISSION_EDIT 8u /* Model.DocumentPermissions */
#define VX_DOC_MODIFIED 1u    /* Model.DocumentFlags */
#define VX_ALERT_ICON_QUESTION 3
#define VX_ALERT_BUTTON1 1 /* Viewer.Alert's answers: the button pressed */
#define VX_ALERT_BUTTON2 2
#define VX_ALERT_BUTTON3 3
#define VX_MENU_APPEND 9999

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The documented layout on 32-bit targets. */
#if defined(__cplusplus)
#define VX_STATIC_ASSERT static_assert
#else
#define VX_STATIC_ASSERT _Static_assert
#endif

VX_STATIC_ASSERT(sizeof(FixedRect) == 16, "FixedRect is four Fixed values");
VX_STATIC_ASSERT(sizeof(DeviceRect) == 8, "DeviceRect is four 16-bit values");
VX_STATIC_ASSERT(sizeof(ToolRecord) == 44, "ToolRecord is eleven 32-bit words");
VX_STATIC_ASSERT(offsetof(ToolRecord, click) == 12, "ToolRecord click entry");
VX_STATIC_ASSERT(offsetof(ToolRecord, type) == 24, "ToolRecord type entry");
VX_STATIC_ASSERT(offsetof(ToolRecord, isAvailable) == 28, "ToolRecord entry 28");
VX_STATIC_ASSERT(sizeof(ColorValue) == 20, "ColorValue is 20 bytes");
VX_STATIC_ASSERT(offsetof(ColorValue, value) == 4, "ColorValue components");
VX_STATIC_ASSERT(sizeof(HandshakeRecord) == 24, "HandshakeRecord is 24 bytes");
VX_STATIC_ASSERT(offsetof(HandshakeRecord, extensionName) == 6, "extension name atom");
VX_STATIC_ASSERT(offsetof(HandshakeRecord, exportEntry) == 8, "handshake entry 8");
VX_STATIC_ASSERT(offsetof(HandshakeRecord, initialize) == 16, "initialisation entry");
VX_STATIC_ASSERT(offsetof(HandshakeRecord, unload) == 20, "handshake entry 20");
VX_STATIC_ASSERT(offsetof(SetupRecord, extensionId) == 4, "setup extension id");
VX_STATIC_ASSERT(offsetof(SetupRecord, core) == 8, "setup core table");
#if UINTPTR_MAX == 0xFFFFFFFFu
VX_STATIC_ASSERT(offsetof(StartRecord, moduleInstance) == 4, "start record instance");
VX_STATIC_ASSERT(sizeof(StartRecord) == 8, "start record size");
VX_STATIC_ASSERT(offsetof(SetupRecord, handshake) == 12, "setup handshake callback");
VX_STATIC_ASSERT(sizeof(SetupRecord) == 16, "setup record size");
#else
VX_STATIC_ASSERT(offsetof(StartRecord, moduleInstance) == sizeof(void *), "start record instance");
VX_STATIC_ASSERT(offsetof(SetupRecord, handshake) == 8 + sizeof(void *),
                 "setup handshake callback");
#endif

#endif /* VX_TYPES_H */

// SPDX-License-Identifier: AGPL-3.0-or-later
/* The ids of the module's resources. The resource script, the code that
   loads the resources and the tests all include this one file; the resource
   compiler reads it through the C preprocessor, so it holds only #defines. */
#ifndef TRIMVEX_RESOURCE_IDS_H
#define TRIMVEX_RESOURCE_IDS_H

/* The Pages To Crop dialog and its radio buttons, in their tab order. */
#define IDD_PAGES_TO_CROP 117
#define IDC_CURRENT_PAGE 1019
#define IDC_ALL_PAGES 1020
#define IDC_ODD_PAGES 1021
#define IDC_EVEN_PAGES 1022

/* The crop tool's cursors: outside the region, and inside it. */
#define IDCUR_CROP 102
#define IDCUR_SCISSORS 112

/* The crop tool's icons: on the toolbar button, and on the Tools menu item. */
#define IDB_TOOLBAR 101
#define IDB_MENU 110

#endif

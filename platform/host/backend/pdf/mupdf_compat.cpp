// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/mupdf_compat.h"

#include "backend/pdf/mupdf_calls.h"

namespace vellora::pdf::compat {

bool IsEncrypted(pdf_document* doc)
{
    return doc->crypt != nullptr;
}

int64_t StartXref(pdf_document* doc)
{
    return doc->startxref;
}

void XrefEntryOf(fz_context* ctx, pdf_document* doc, int num, char* type, int* gen, int64_t* ofs)
{
    const pdf_xref_entry* e = pdf_get_xref_entry_no_null(ctx, doc, num);
    *type = e->type == 'n' || e->type == 'o' || e->type == 'f' ? e->type : 0;
    *gen = e->gen;
    *ofs = e->ofs;
}

bool KeepObject(fz_context* ctx, pdf_document* doc, int num, pdf_obj* obj)
{
    pdf_xref_entry* entry = pdf_get_xref_entry_no_null(ctx, doc, num);
    if (entry->obj != obj)
        return false;
    entry->marked = 1;
    return true;
}

void PrintEncryptedObject(fz_context* ctx, fz_output* out, pdf_document* doc, pdf_obj* obj, int num,
                          int gen)
{
#if MU_VERSION_GE(1, 24, 0)
    pdf_print_encrypted_obj(ctx, out, obj, 1, 0, doc->crypt, num, gen, nullptr);
#else
    pdf_print_encrypted_obj(ctx, out, obj, 1, 0, doc->crypt, num, gen);
#endif
}

// From 1.22 MuPDF drops its page-tree cache on any change to an object of
// the document that might be part of the page tree, a page's /CropBox
// included, and reads the whole tree again on the next page looked up:
// cropping every page to its marks would be quadratic again. It keeps the
// cache through what it marks as a non-structural change (its outline
// editing does the same).
int BeginBoxEdit(pdf_document* doc)
{
#if MU_VERSION_GE(1, 22, 0)
    const int before = doc->non_structural_change;
    doc->non_structural_change = 1;
    return before;
#else
    (void)doc;
    return 0;
#endif
}

void EndBoxEdit(pdf_document* doc, int before)
{
#if MU_VERSION_GE(1, 22, 0)
    doc->non_structural_change = before;
#else
    (void)doc;
    (void)before;
#endif
}

void ListPageObjects(fz_context* ctx, pdf_document* doc, int* objects, int count)
{
#if MU_VERSION_GE(1, 22, 0)
    // The first lookup reads the whole tree into MuPDF's cache, the rest
    // are found there.
    for (int i = 0; i < count; ++i)
        objects[i] = pdf_to_num(ctx, pdf_lookup_page_obj(ctx, doc, i));
#else
    // 1.21's map, loaded for the walk and dropped after it: each page looked
    // up through it would leak a reference.
    pdf_load_page_tree(ctx, doc);
    fz_try(ctx)
    {
        for (int i = 0; i < count; ++i)
            objects[i] = doc->fwd_page_map ? doc->fwd_page_map[i]
                                           : pdf_to_num(ctx, pdf_lookup_page_obj(ctx, doc, i));
    }
    fz_always(ctx) pdf_drop_page_tree(ctx, doc);
    fz_catch(ctx) fz_rethrow(ctx);
#endif
}

#if MU_VERSION_GE(1, 22, 0)

// MuPDF's page-tree cache, loaded just in time by every lookup and kept
// until the tree changes, finds each page directly and resolves links
// through its reverse map. The list is not needed for it.
pdf_page* LoadPage(fz_context* ctx, pdf_document* doc, const MuPageList*, int number, PageLoad* how)
{
#if MU_VERSION_GE(1, 27, 0)
    pdf_set_page_tree_cache(ctx, doc, 1);
#endif
    const bool cached = doc->fwd_page_map != nullptr;
    pdf_page* page = pdf_load_page(ctx, doc, number);
    how->treeRead = !cached && doc->fwd_page_map;
    how->direct =
        doc->fwd_page_map && number < doc->map_page_count && doc->fwd_page_map[number] != nullptr;
    return page;
}

bool KeepPageNumbers(fz_context*, pdf_document*)
{
    return false;
}

void ForgetPageNumbers(fz_context*, pdf_document*)
{
}

#else

namespace {

// Whether the page has a link: MuPDF resolves a link's destination while
// loading the page, and a destination given as a page number is looked up
// through the forward page map (below).
bool HasLinks(fz_context* ctx, pdf_obj* page)
{
    pdf_obj* annots = pdf_dict_get(ctx, page, PDF_NAME(Annots));
    const int n = pdf_array_len(ctx, annots);
    for (int i = 0; i < n; ++i)
        if (pdf_name_eq(ctx, pdf_dict_get(ctx, pdf_array_get(ctx, annots, i), PDF_NAME(Subtype)),
                        PDF_NAME(Link)))
            return true;
    return false;
}

// The page object to load page `number` by, read and kept; null where
// MuPDF's own lookup is to find the page: without a list, in a repaired
// document (whose page tree may no longer be the one listed), where the
// object cannot be read or is no page, and for a page with links (see
// LoadPage). Never throws.
pdf_obj* ListedPage(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int number)
{
    if (!pages || number < 0 || number >= pages->count || pages->objects[number] <= 0 ||
        doc->file_reading_linearly || doc->fwd_page_map || pdf_was_repaired(ctx, doc) ||
        doc->map_page_count != (doc->rev_page_map ? pages->count : 0))
        return nullptr;
    pdf_obj* object = nullptr;
    fz_var(object);
    fz_try(ctx)
    {
        object = pdf_load_object(ctx, doc, pages->objects[number]);
        if (!pdf_is_dict(ctx, object) || pdf_was_repaired(ctx, doc) || HasLinks(ctx, object)) {
            pdf_drop_obj(ctx, object);
            object = nullptr;
        }
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, object);
        object = nullptr;
    }
    return object;
}

}  // namespace

// 1.21 looks a page up in its forward page map when the document has one,
// and otherwise walks the tree from its root (reading every page before it
// in a flat tree: quadratic over a document). The list is lent to it as
// that map for the call. Its lookup through the map keeps a reference to
// the object it returns that nothing lets go of: the page's own is let go
// here, and a page with links, whose destinations may be looked up the
// same way, is found by MuPDF's walk instead. The page does not join the
// document's list of open pages (so that the lookup is sure to run);
// nothing here keeps a page open between calls.
pdf_page* LoadPage(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int number,
                   PageLoad* how)
{
    how->direct = 0;
    how->treeRead = 0;
    pdf_obj* object = ListedPage(ctx, doc, pages, number);
    if (!object)
        return pdf_load_page(ctx, doc, number);
    const int mapCount = doc->map_page_count;
    fz_page* page = nullptr;
    fz_var(page);
    doc->fwd_page_map = const_cast<int*>(pages->objects);
    doc->map_page_count = pages->count;
    fz_try(ctx)
    {
        page = doc->super.load_page(ctx, &doc->super, 0, number);
    }
    fz_always(ctx)
    {
        doc->fwd_page_map = nullptr;
        doc->map_page_count = mapCount;
        pdf_drop_obj(ctx, object);  // ListedPage's
        pdf_drop_obj(ctx, object);  // the lookup's
    }
    fz_catch(ctx) fz_rethrow(ctx);
    page->chapter = 0;
    page->number = number;
    how->direct = 1;
    return reinterpret_cast<pdf_page*>(page);
}

// The map's forward half is dropped at once: each page looked up through
// it leaks a reference.
bool KeepPageNumbers(fz_context* ctx, pdf_document* doc)
{
    pdf_load_page_tree(ctx, doc);
    fz_free(ctx, doc->fwd_page_map);
    doc->fwd_page_map = nullptr;
    return true;
}

void ForgetPageNumbers(fz_context* ctx, pdf_document* doc)
{
    pdf_drop_page_tree(ctx, doc);
}

#endif

}  // namespace vellora::pdf::compat

#include "gif/model/GIFExtensionRegistry.h"

void TExtensionList::Register(uint8_t label, TGIFExtensionFactory factory) {
    entries_.push_back({label, factory});
}

TGIFExtensionFactory TExtensionList::Find(uint8_t label) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->label == label) return it->factory;
    return nullptr;
}

void TAppExtensionList::Register(const TGIFApplicationRec& identifier,
                                 TGIFExtensionFactory factory) {
    entries_.push_back({identifier, factory});
}

TGIFExtensionFactory TAppExtensionList::Find(const TGIFApplicationRec& identifier) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->identifier == identifier) return it->factory;
    return nullptr;
}

TExtensionList& ExtensionList() {
    static TExtensionList list = [] {
        TExtensionList made;
        made.Register(bsPlainTextExtension, MakeGIFExtension<TGIFTextExtension>);
        made.Register(bsGraphicControlExtension, MakeGIFExtension<TGIFGraphicControlExtension>);
        made.Register(bsCommentExtension, MakeGIFExtension<TGIFCommentExtension>);
        made.Register(bsApplicationExtension, MakeGIFExtension<TGIFApplicationExtension>);
        return made;
    }();
    return list;
}

TAppExtensionList& AppExtensionList() {
    static TAppExtensionList list = [] {
        TAppExtensionList made;
        made.Register(ApplicationIdentifier("NETSCAPE2.0"), MakeGIFExtension<TGIFAppExtNSLoop>);
        made.Register(ApplicationIdentifier("ANIMEXTS1.0"), MakeGIFExtension<TGIFAppExtNSLoop>);
        return made;
    }();
    return list;
}

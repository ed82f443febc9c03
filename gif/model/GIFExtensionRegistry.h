#pragma once
// Process-wide registries that map an extension label, and an application identifier, to the
// class that reads such a block.
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/model/GIFExtensions.h"

using TGIFExtensionFactory = std::unique_ptr<TGIFExtension> (*)(TGIFSubImage* subImage);

template <class T>
std::unique_ptr<TGIFExtension> MakeGIFExtension(TGIFSubImage* subImage) {
    return std::make_unique<T>(subImage);
}

// Label byte to class; the latest registration of a label wins.
class TExtensionList {
public:
    void Register(uint8_t label, TGIFExtensionFactory factory);
    // Null when no class is registered for the label.
    TGIFExtensionFactory Find(uint8_t label) const;

private:
    struct Entry {
        uint8_t label;
        TGIFExtensionFactory factory;
    };
    std::vector<Entry> entries_;
};

// 11-byte application identifier, compared byte for byte, to class.
class TAppExtensionList {
public:
    void Register(const TGIFApplicationRec& identifier, TGIFExtensionFactory factory);
    TGIFExtensionFactory Find(const TGIFApplicationRec& identifier) const;

private:
    struct Entry {
        TGIFApplicationRec identifier;
        TGIFExtensionFactory factory;
    };
    std::vector<Entry> entries_;
};

// The registries, made with the library's own classes on first use.
TExtensionList& ExtensionList();
TAppExtensionList& AppExtensionList();

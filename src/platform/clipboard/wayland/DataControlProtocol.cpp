// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/wayland/DataControlProtocol.h"

#include <wayland-client.h>

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace clipwren::wayland {

namespace {

// The generated names of one protocol, so that one template builds the table of either: the
// two differ only in their prefix.
#define CLIPWREN_DATA_CONTROL_NAMES(Name, prefix, managerVersion)                        \
    struct Name {                                                                        \
        using Manager = prefix##_manager_v1;                                             \
        using Device = prefix##_device_v1;                                               \
        using Source = prefix##_source_v1;                                               \
        using Offer = prefix##_offer_v1;                                                 \
        using DeviceListener = prefix##_device_v1_listener;                              \
        using SourceListener = prefix##_source_v1_listener;                              \
        using OfferListener = prefix##_offer_v1_listener;                                \
        static constexpr const char* name = #prefix "_manager_v1";                       \
        static constexpr const wl_interface* interface = &prefix##_manager_v1_interface; \
        static constexpr std::uint32_t version = managerVersion;                         \
        static constexpr auto createSource = prefix##_manager_v1_create_data_source;     \
        static constexpr auto getDevice = prefix##_manager_v1_get_data_device;           \
        static constexpr auto destroyManager = prefix##_manager_v1_destroy;              \
        static constexpr auto addDeviceListener = prefix##_device_v1_add_listener;       \
        static constexpr auto setSelection = prefix##_device_v1_set_selection;           \
        static constexpr auto destroyDevice = prefix##_device_v1_destroy;                \
        static constexpr auto addSourceListener = prefix##_source_v1_add_listener;       \
        static constexpr auto offer = prefix##_source_v1_offer;                          \
        static constexpr auto destroySource = prefix##_source_v1_destroy;                \
        static constexpr auto addOfferListener = prefix##_offer_v1_add_listener;         \
        static constexpr auto receive = prefix##_offer_v1_receive;                       \
        static constexpr auto destroyOffer = prefix##_offer_v1_destroy;                  \
    };

CLIPWREN_DATA_CONTROL_NAMES(Ext, ext_data_control, 1)
// Version 2 only adds the primary selection, which is ignored, but it is the current one.
CLIPWREN_DATA_CONTROL_NAMES(Wlr, zwlr_data_control, 2)
#undef CLIPWREN_DATA_CONTROL_NAMES

template <class T>
T* as(wl_proxy* proxy) {
    return reinterpret_cast<T*>(proxy);
}

template <class T>
wl_proxy* proxy(T* object) {
    return reinterpret_cast<wl_proxy*>(object);
}

template <class P>
const DataControlProtocol& table() {
    using Device = typename P::Device;
    using Source = typename P::Source;
    using Offer = typename P::Offer;

    static const typename P::DeviceListener deviceListener{
        [](void* events, Device*, Offer* offer) {
            static_cast<DeviceEvents*>(events)->onDataOffer(proxy(offer));
        },
        [](void* events, Device*, Offer* offer) {
            static_cast<DeviceEvents*>(events)->onSelection(proxy(offer));
        },
        [](void* events, Device*) { static_cast<DeviceEvents*>(events)->onFinished(); },
        [](void* events, Device*, Offer* offer) {
            static_cast<DeviceEvents*>(events)->onPrimarySelection(proxy(offer));
        },
    };
    static const typename P::SourceListener sourceListener{
        [](void* events, Source*, const char* mimeType, int32_t fd) {
            static_cast<SourceEvents*>(events)->onSend(mimeType, fd);
        },
        [](void* events, Source*) { static_cast<SourceEvents*>(events)->onCancelled(); },
    };
    static const typename P::OfferListener offerListener{
        [](void* events, Offer*, const char* mimeType) {
            static_cast<OfferEvents*>(events)->onOffered(mimeType);
        },
    };

    static const DataControlProtocol protocol{
        P::name,
        P::interface,
        P::version,
        [](wl_proxy* manager) { return proxy(P::createSource(as<typename P::Manager>(manager))); },
        [](wl_proxy* manager, wl_seat* seat) {
            return proxy(P::getDevice(as<typename P::Manager>(manager), seat));
        },
        [](wl_proxy* manager) { P::destroyManager(as<typename P::Manager>(manager)); },
        [](wl_proxy* device, DeviceEvents* events) {
            P::addDeviceListener(as<Device>(device), &deviceListener, events);
        },
        [](wl_proxy* device, wl_proxy* source) {
            P::setSelection(as<Device>(device), as<Source>(source));
        },
        [](wl_proxy* device) { P::destroyDevice(as<Device>(device)); },
        [](wl_proxy* source, SourceEvents* events) {
            P::addSourceListener(as<Source>(source), &sourceListener, events);
        },
        [](wl_proxy* source, const char* mimeType) { P::offer(as<Source>(source), mimeType); },
        [](wl_proxy* source) { P::destroySource(as<Source>(source)); },
        [](wl_proxy* offer, OfferEvents* events) {
            P::addOfferListener(as<Offer>(offer), &offerListener, events);
        },
        [](wl_proxy* offer, const char* mimeType, int fd) {
            P::receive(as<Offer>(offer), mimeType, fd);
        },
        [](wl_proxy* offer) { P::destroyOffer(as<Offer>(offer)); },
    };
    return protocol;
}

}  // namespace

const DataControlProtocol& extDataControl() {
    return table<Ext>();
}

const DataControlProtocol& wlrDataControl() {
    return table<Wlr>();
}

}  // namespace clipwren::wayland

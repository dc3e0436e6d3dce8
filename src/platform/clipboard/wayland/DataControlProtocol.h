// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <cstdint>

struct wl_interface;
struct wl_proxy;
struct wl_seat;

namespace clipwren::wayland {

// What the compositor tells a data device: a new offer is described, the clipboard (or the
// primary selection) now holds an offer or nothing, the device is gone.
class DeviceEvents {
public:
    virtual void onDataOffer(wl_proxy* offer) = 0;
    virtual void onSelection(wl_proxy* offer) = 0;
    virtual void onPrimarySelection(wl_proxy* offer) = 0;
    virtual void onFinished() = 0;

protected:
    ~DeviceEvents() = default;
};

// What the compositor asks of a source of ours: write one type's bytes into fd, or forget it.
class SourceEvents {
public:
    virtual void onSend(const char* mimeType, int fd) = 0;
    virtual void onCancelled() = 0;

protected:
    ~SourceEvents() = default;
};

// What the compositor tells about an offer: one of the types it can be read as.
class OfferEvents {
public:
    virtual void onOffered(const char* mimeType) = 0;

protected:
    ~OfferEvents() = default;
};

// ext-data-control-v1 and wlroots' data-control have the same objects, requests and events
// under other names. The backend speaks to either through one of these tables, so nothing
// else knows which one the compositor offered.
struct DataControlProtocol {
    const char* managerName;
    const wl_interface* managerInterface;
    std::uint32_t highestVersion;

    wl_proxy* (*createSource)(wl_proxy* manager);
    wl_proxy* (*getDevice)(wl_proxy* manager, wl_seat* seat);
    void (*destroyManager)(wl_proxy* manager);

    void (*listenToDevice)(wl_proxy* device, DeviceEvents* events);
    void (*setSelection)(wl_proxy* device, wl_proxy* source);
    void (*destroyDevice)(wl_proxy* device);

    void (*listenToSource)(wl_proxy* source, SourceEvents* events);
    void (*offer)(wl_proxy* source, const char* mimeType);
    void (*destroySource)(wl_proxy* source);

    void (*listenToOffer)(wl_proxy* offer, OfferEvents* events);
    void (*receive)(wl_proxy* offer, const char* mimeType, int fd);
    void (*destroyOffer)(wl_proxy* offer);
};

const DataControlProtocol& extDataControl();
const DataControlProtocol& wlrDataControl();

}  // namespace clipwren::wayland

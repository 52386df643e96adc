#pragma once

// The manager's tables of opened line devices: per device family, line device number -> vendor
// handle, and by vendor handle the device type and the line device number. The command handlers
// add a device when they open it and remove it when they close it; everything else only looks
// devices up. Each table has a lock of its own, held for the whole of every operation, so a
// lookup never sees a half-made change and never waits on another table.
//
// A command that holds a table's lock across several operations (from a lookup to the removal,
// or from an open to the recording of its handle) may take other tables' locks meanwhile, but
// only in this order, so that two such commands never wait on each other:
//   network lines, IP channels, voice channels, stations, then handle -> line device number,
//   then handle -> device type.
// The Aculab locks come after all of these: the Aculab card list's (telephony/aculab_cards.h),
// then the Aculab table lock (node/aculab_handle_tables.h). The Aculab IP channel commands hold
// the IP channels' lock while the media code walks the cards and stores what it made; nothing
// takes a device table's lock while it holds an Aculab lock.
//
// The hardware layer reads the tables through telephony::DeviceHandleLookup.

#include <cstdint>

#include "node/locked_table.h"
#include "telephony/device_handle_lookup.h"

namespace ruzd::node {

// One of the device tables: a number -> number map under its own lock, whose lookups give -1
// for a number it does not hold.
class DeviceTable : public LockedTable<int32_t, int32_t> {
public:
    using LockedTable<int32_t, int32_t>::Get;
    // True with the value, or false with the value set to -1.
    bool Get(int32_t key, int32_t* value) const { return Get(key, value, -1); }
};

class DeviceHandleTables : public telephony::DeviceHandleLookup {
public:
    // The families, by the device types that address them.
    enum class Family { kVoice, kNetwork, kStation, kIp };

    // Line device number -> vendor handle, per family. IP boards stand in the IP table under
    // kBoardLineDeviceBase plus their board number.
    DeviceTable& Voice() { return voice_; }
    DeviceTable& Network() { return network_; }
    DeviceTable& Station() { return station_; }
    DeviceTable& Ip() { return ip_; }
    DeviceTable& Of(Family family);
    const DeviceTable& Of(Family family) const;

    // Vendor handle -> device type, and vendor handle -> line device number.
    DeviceTable& PortTypes() { return port_types_; }
    DeviceTable& HandleLdevs() { return handle_ldevs_; }

    // The family's lock, for a caller that walks the table and then empties it as one step.
    std::recursive_mutex& Lock(Family family) const { return Of(family).Lock(); }

    // --- telephony::DeviceHandleLookup ---
    // By device type: 1 voice, 3 network line, 5 station, 7 and 18 IP.
    bool GetDeviceHandle(int32_t ldev, int32_t device_type, int32_t* handle) const override;
    bool GetIPDeviceHandle(int32_t ldev, int32_t* handle) const override;

    // Forgets every device of every table, each under its own lock, closing nothing.
    void ForgetAll();

private:
    // Held together only in the lock order above: network_, ip_, voice_, station_,
    // handle_ldevs_, port_types_.
    DeviceTable voice_;
    DeviceTable network_;
    DeviceTable station_;
    DeviceTable ip_;
    DeviceTable port_types_;
    DeviceTable handle_ldevs_;
};

}  // namespace ruzd::node

#pragma once

// IP media quality alarms (libipm).

#include <cstdint>

struct IPM_QOS_ALARM_DATA {
    uint32_t eAlarmType;
    uint32_t eAlarmState;
};

struct IPM_QOS_ALARM_STATUS {
    uint32_t unAlarmCount;
    IPM_QOS_ALARM_DATA QoSData[16];
};
static_assert(sizeof(IPM_QOS_ALARM_STATUS) == 132);

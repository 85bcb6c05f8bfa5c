#pragma once
// The waiting times of the DMS link. The defaults are the program's; tests shorten them.

struct DmsTiming
{
    int connectRetryMs = 10000;   // retry while the synchronous or PDBS connection fails
    int upRetryMs = 25000;        // retry while "System:Prog:DMS_UP" is not true
    int asyncUpDelayMs = 500;     // from "asynchronous connection up" to the first wait for up
    int reconnectDelayMs = 2000;  // pause after a time-out before connecting again
    int logoutDelayMs = 500;      // pause after the logout writes at shutdown
    int watchdogSecondMs = 1000;  // length of one second of the watchdog period
    int controlSeconds = 240;     // time-out of the DMS control
};

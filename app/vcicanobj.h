// Frame record of a CAN adapter library. The window only names it in one slot signature and never
// reads it; this placeholder keeps that signature.
#pragma once

#include <QMetaType>

struct VCI_CAN_OBJ
{
    unsigned int ID = 0;
    unsigned int TimeStamp = 0;
    unsigned char TimeFlag = 0;
    unsigned char SendType = 0;
    unsigned char RemoteFlag = 0;
    unsigned char ExternFlag = 0;
    unsigned char DataLen = 0;
    unsigned char Data[8] = {};
    unsigned char Reserved[3] = {};
};
Q_DECLARE_METATYPE(VCI_CAN_OBJ)

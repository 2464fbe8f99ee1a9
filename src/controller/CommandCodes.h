// The controller's command codes, one name each, after the TDataManager
// operation that sends the command. The command table gives their lengths.
#pragma once

#include <cstdint>

namespace lumex::cmd {

inline constexpr uint8_t ReadVersionCode = 0x01;
inline constexpr uint8_t ReadCompileInfo = 0x02;
inline constexpr uint8_t ReadBasicConfig = 0x03;  // 1.4/1.5
inline constexpr uint8_t WriteBasicConfig = 0x04; // 1.4/1.5
inline constexpr uint8_t ReadLiveData = 0x05;
inline constexpr uint8_t ReadLiveDataHigh = 0x06; // cylinders 5-8, only with 5 or more injectors
inline constexpr uint8_t ReadByteParam = 0x07;
inline constexpr uint8_t WriteByteParam = 0x08;
inline constexpr uint8_t ReadLiveDataFull = 0x0B; // all live readings in one block (3.0 from "G")
inline constexpr uint8_t ReadModelBlock = 0x10;
inline constexpr uint8_t ReadModelParam = 0x12;
inline constexpr uint8_t ReadTroubleFlags = 0x13;
inline constexpr uint8_t ClearTroubleCodes = 0x14;
inline constexpr uint8_t WriteInjectorParams = 0x15;
inline constexpr uint8_t WriteModelParam = 0x16;
inline constexpr uint8_t ReadInjectorParams = 0x17;
inline constexpr uint8_t ValveAction = 0x18; // valve switch, or reset of the learned injection system
inline constexpr uint8_t SetWorkType = 0x20;
inline constexpr uint8_t ReadCalibrationState = 0x21;
inline constexpr uint8_t ReadPcol = 0x22;
inline constexpr uint8_t ReadMemWord = 0x31;
inline constexpr uint8_t WriteMemWord = 0x32;
inline constexpr uint8_t ReadMemByte = 0x33;
inline constexpr uint8_t WriteMemByte = 0x34;
inline constexpr uint8_t ReadLevelSensorA = 0x35;
inline constexpr uint8_t ReadLevelSensorB = 0x36;
inline constexpr uint8_t WriteLevelSensorA = 0x37;
inline constexpr uint8_t WriteLevelSensorB = 0x38;
inline constexpr uint8_t WriteEmulatorSwitches = 0x39;
inline constexpr uint8_t ReadEmulatorSwitches = 0x3A;
inline constexpr uint8_t ReadInjSystemDetect = 0x3B;
inline constexpr uint8_t LockDevice = 0x3D;
inline constexpr uint8_t UnlockDevice = 0x3E;
inline constexpr uint8_t ReadLockState = 0x3F; // parameter 0; with parameter 1 it is ReadLockStateB
inline constexpr uint8_t ReadWordVar = 0x40;
inline constexpr uint8_t ReadCalRPM = 0x50;
inline constexpr uint8_t ReadWordParam = 0x51;
inline constexpr uint8_t WriteWordParam = 0x52;
inline constexpr uint8_t ReadIdentByte = 0x53;
inline constexpr uint8_t ReadComputerCodes = 0x54;
inline constexpr uint8_t WriteComputerCode = 0x55;
inline constexpr uint8_t ReadInspection = 0x56;
inline constexpr uint8_t WriteInspection = 0x57;
inline constexpr uint8_t ReadErrorLogRecord = 0x58;
inline constexpr uint8_t ReadAdaptationInfo = 0x60;
inline constexpr uint8_t ReadAdaptationCorr = 0x61;
inline constexpr uint8_t WriteAdaptationCorr = 0x62;
inline constexpr uint8_t ReadLoadIndex = 0x64;
inline constexpr uint8_t ReadInjTestCounters = 0x90;
inline constexpr uint8_t ReadInjTestValues = 0x91;
inline constexpr uint8_t StartInjTest = 0x92;
inline constexpr uint8_t ReadInjCorr = 0x93;
inline constexpr uint8_t WriteInjCorr = 0x94;
inline constexpr uint8_t ReadModel2SetB = 0x95;
inline constexpr uint8_t WriteModel2SetB = 0x96;
inline constexpr uint8_t ReadCorrPcol = 0x97;
inline constexpr uint8_t WriteCorrPcol = 0x98;
inline constexpr uint8_t ReadModelPoints = 0xC0;
inline constexpr uint8_t WriteModelPoints = 0xC1;
inline constexpr uint8_t ReadCorrPressure = 0xD0;
inline constexpr uint8_t WriteCorrPressure = 0xD1;
inline constexpr uint8_t ReadCorrGasTemp = 0xD2;
inline constexpr uint8_t WriteCorrGasTemp = 0xD3;
inline constexpr uint8_t ReadModel2SetA = 0xD4;
inline constexpr uint8_t WriteModel2SetA = 0xD5;
inline constexpr uint8_t ReadPetrolMapBlock = 0xD6;
inline constexpr uint8_t ReadGasMapBlock = 0xD7;
inline constexpr uint8_t ReadBasicConfigG3 = 0xD8;  // 3.0
inline constexpr uint8_t WriteBasicConfigG3 = 0xD9; // 3.0
inline constexpr uint8_t WriteCorrRPM = 0xDA;
inline constexpr uint8_t ReadCorrRPM = 0xDB;
inline constexpr uint8_t ReadMapG3Row = 0xDC;
inline constexpr uint8_t ReadMapG3RowB = 0xDD;
inline constexpr uint8_t ClearMap = 0xDE; // selector: petrol points, gas points, G3 petrol map, G3 gas map
inline constexpr uint8_t WriteMapG3Row = 0xDF;

} // namespace lumex::cmd

#include "device/printer_device.h"

namespace kestrava {

PrinterDevice::PrinterDevice(UsbBackend& backend) : link_(backend) {}

}  // namespace kestrava

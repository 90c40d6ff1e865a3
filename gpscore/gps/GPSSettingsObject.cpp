#include "gps/GPSSettingsObject.h"

// Configures the link for a paired device: its name (by which the link finds the device's
// current port each time it opens) and its port. The device is read completely before anything
// is stored, so a failing device leaves the settings as they were.
HRESULT CGPSSettingsObject::SetUpBluetoothReceiver(IBluetoothDeviceObject* pBluetoothDevice) {
    if (pBluetoothDevice == nullptr) return E_POINTER;
    gpslib::Bstr name, portName;
    SHORT portNumber = -1;
    HRESULT hr = pBluetoothDevice->GetName(name.Put());
    if (SUCCEEDED(hr)) hr = pBluetoothDevice->GetPortName(portName.Put());
    if (SUCCEEDED(hr)) hr = pBluetoothDevice->GetPortNumber(&portNumber);
    if (FAILED(hr)) return hr;
    m_bstrGPSReceiverName = gpslib::Bstr(name.View());
    m_bstrGPSPortName = gpslib::Bstr(portName.View());
    m_nGPSPortNumber = portNumber;
    m_bstrSimulatedGPSFile = gpslib::Bstr(std::u16string_view());
    m_eGPSReceiverType = GPSTypeBlueTooth;
    m_nGPSBaudRate = kBluetoothBaudRate;
    return S_OK;
}

GPSLIB_CLASS_FACTORY(GPSSettingsObject, CGPSSettingsObject)

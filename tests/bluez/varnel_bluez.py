# SPDX-License-Identifier: GPL-3.0-or-later
'''bluez5 mock with RFCOMM connections, for the Qt backend tests.

Loads dbusmock's own bluez5 template and adds what Qt's BlueZ socket backend
needs to open an RFCOMM link: ConnectProfile on a device hands one end of a
socketpair to the client's registered Profile1 (NewConnection) and bridges the
other end to a unix socket, where varnel-instrument plays the instrument.

org.bluez.Mock gains:
  SetBridge(address, socket_path)  where connections to that device go
  Profiles() -> as                 registered profiles: role, a line end, service record
'''

import os
import socket

import dbus
import dbus.lowlevel
from gi.repository import GLib

from dbusmock import mockobject
from dbusmock.templates.bluez5 import *  # noqa: F401,F403 (the template's own methods)
from dbusmock.templates import bluez5

BUS_NAME = bluez5.BUS_NAME
MAIN_OBJ = bluez5.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

PROFILE_IFACE = 'org.bluez.Profile1'

profiles = {}   # object path -> (bus name, uuid, options)
senders = {}    # object path -> bus name of the program that registered it
bridges = {}    # device address -> unix socket path
links = []      # open bridges, so they stay referenced


def _watch_register(_bus, message):
    if (message.get_type() == 1 and message.get_member() == 'RegisterProfile'
            and message.get_interface() == bluez5.PROFILE_MANAGER_IFACE):
        senders[str(message.get_args_list()[0])] = message.get_sender()
    return dbus.lowlevel.HANDLER_RESULT_NOT_YET_HANDLED


def RegisterProfile(_manager, path, uuid, options):
    profiles[str(path)] = (senders.get(str(path), ''), str(uuid).lower(), options)


def UnregisterProfile(_manager, path):
    profiles.pop(str(path), None)


def _pump(source, target, others):
    def move(_fd, _condition):
        try:
            data = source.recv(65536)
        except BlockingIOError:
            return True
        except OSError:
            data = b''
        if not data:
            for s in others:
                try:
                    s.close()
                except OSError:
                    pass
            return False
        try:
            target.setblocking(True)
            target.sendall(data)
            target.setblocking(False)
        except OSError:
            return False
        return True
    return move


def ConnectProfile(device, uuid):
    address = str(device.props[bluez5.DEVICE_IFACE]['Address'])
    target = bridges.get(address)
    if target is None:
        raise dbus.exceptions.DBusException('Connection refused',
                                            name='org.bluez.Error.Failed')
    uuid = str(uuid).lower()
    client = [p for p, (_s, u, o) in profiles.items()
              if u == uuid and str(o.get('Role', 'client')) == 'client']
    if not client:
        raise dbus.exceptions.DBusException('No profile for ' + uuid,
                                            name='org.bluez.Error.NotAvailable')
    path = client[-1]
    sender = profiles[path][0]

    instrument = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        instrument.connect(target)
    except OSError as e:
        instrument.close()
        raise dbus.exceptions.DBusException('Host is down: ' + str(e),
                                            name='org.bluez.Error.Failed')
    ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_STREAM)
    for s in (ours, instrument):
        s.setblocking(False)
    both = [ours, instrument]
    GLib.io_add_watch(ours.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR,
                      _pump(ours, instrument, both))
    GLib.io_add_watch(instrument.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR,
                      _pump(instrument, ours, both))
    links.append(both)

    bus = device.connection
    bus.call_async(sender, path, PROFILE_IFACE, 'NewConnection', 'oha{sv}',
                   (dbus.ObjectPath(device.path), dbus.types.UnixFd(theirs.fileno()), {}),
                   None, lambda e: device.log('NewConnection failed: ' + str(e)))
    theirs.close()


@dbus.service.method(bluez5.BLUEZ_MOCK_IFACE, in_signature='ss', out_signature='')
def SetBridge(_self, address, socket_path):
    bridges[str(address).upper()] = str(socket_path)


@dbus.service.method(bluez5.BLUEZ_MOCK_IFACE, in_signature='', out_signature='as')
def Profiles(_self):
    return [str(o.get('Role', '')) + '\n' + str(o.get('ServiceRecord', ''))
            for (_s, _u, o) in profiles.values()]


@dbus.service.method(bluez5.BLUEZ_MOCK_IFACE, in_signature='sss', out_signature='s')
def AddDevice(self, adapter_device_name, device_address, alias):
    path = bluez5.AddDevice(self, adapter_device_name, device_address, alias)
    mockobject.objects[path].AddMethods(bluez5.DEVICE_IFACE, [
        ('ConnectProfile', 's', '', ConnectProfile)])
    return path


def load(mock, parameters):
    bluez5.load(mock, parameters)
    mockobject.objects['/org/bluez'].AddMethods(bluez5.PROFILE_MANAGER_IFACE, [
        ('RegisterProfile', 'osa{sv}', '', RegisterProfile),
        ('UnregisterProfile', 'o', '', UnregisterProfile),
    ])
    mock.connection.add_message_filter(_watch_register)

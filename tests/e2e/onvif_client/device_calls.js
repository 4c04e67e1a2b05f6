// Calls a camera's device service with the onvif package and prints, as one JSON object, what each call
// answered or the error it raised. Run only inside the lab's pc namespace. The password comes from the
// environment variable QUILLSIM_TEST_PASSWORD, never from the command line.
//   node device_calls.js HOST PORT USER [--digest] [--gateway IP] [--set-ip ADDRESS/PREFIX] [--reboot]
'use strict';

const { Cam } = require('onvif');

const [hostname, portText, username, ...flags] = process.argv.slice(2);
if (!username) {
    process.stderr.write('usage: device_calls.js HOST PORT USER [--digest] [--set-ip A/N] [--gateway IP] [--reboot]\n');
    process.exit(2);
}
const option = (name) => {
    const at = flags.indexOf(name);
    return at < 0 ? undefined : flags[at + 1];
};
const out = { errors: [] };
const step = (name, call) => new Promise((resolve) => {
    call((error, value) => {
        if (error) {
            out.errors.push(`${name}: ${error.message || error}`);
        } else {
            out[name] = value;
        }
        resolve(!error);
    });
});

const cam = new Cam({
    hostname, port: Number(portText), username, password: process.env.QUILLSIM_TEST_PASSWORD,
    useWSSecurity: !flags.includes('--digest'), timeout: 10000, autoconnect: false,
});
// A camera without video sources makes the package warn; that is no finding here.
cam.on('warning', () => {});

(async () => {
    if (!await step('connect', (done) => cam.connect((error) => done(error, true)))) {
        return;
    }
    await step('deviceInformation', (done) => cam.getDeviceInformation(done));
    await step('networkInterfaces', (done) => cam.getNetworkInterfaces(done));
    await step('defaultGateway', (done) => cam.getNetworkDefaultGateway(done));
    // Before the address: a camera that needs no reboot goes silent once it has answered that.
    const gateway = option('--gateway');
    if (gateway) {
        await step('setNetworkDefaultGateway', (done) => cam.setNetworkDefaultGateway({ IPv4Address: gateway }, done));
    }
    const setIp = option('--set-ip');
    if (setIp) {
        const [address, prefixLength] = setIp.split('/');
        const token = out.networkInterfaces ? out.networkInterfaces[0].$.token : 'eth0';
        await step('setNetworkInterfaces', (done) => cam.setNetworkInterfaces({
            interfaceToken: token,
            networkInterface: {
                enabled: true,
                IPv4: { enabled: true, manual: { address, prefixLength: Number(prefixLength) }, DHCP: false },
            },
        }, done));
    }
    if (flags.includes('--reboot')) {
        // The package takes the new address as the camera's at once; a camera that needs a reboot is still
        // at the old one until it has rebooted.
        cam.hostname = hostname;
        await step('systemReboot', (done) => cam.systemReboot(done));
    }
})().finally(() => process.stdout.write(JSON.stringify(out) + '\n'));

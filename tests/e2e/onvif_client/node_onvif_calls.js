// Initialises one camera with the node-onvif package and reads its device information and network
// interfaces; prints one JSON object. Run only inside the lab's pc namespace. The password comes from the
// environment variable QUILLSIM_TEST_PASSWORD, never from the command line.
//   node node_onvif_calls.js XADDR USER
'use strict';

const onvif = require('node-onvif');

const [xaddr, user] = process.argv.slice(2);
if (!user) {
    process.stderr.write('usage: node_onvif_calls.js XADDR USER\n');
    process.exit(2);
}
const out = { errors: [] };
const device = new onvif.OnvifDevice({ xaddr, user, pass: process.env.QUILLSIM_TEST_PASSWORD });

(async () => {
    try {
        out.information = await device.init();
        const interfaces = await device.services.device.getNetworkInterfaces();
        out.networkInterfaces = interfaces.data.GetNetworkInterfacesResponse.NetworkInterfaces;
        const information = await device.services.device.getDeviceInformation();
        out.deviceInformation = information.data.GetDeviceInformationResponse;
    } catch (error) {
        out.errors.push(String(error.message || error));
    }
})().finally(() => process.stdout.write(JSON.stringify(out) + '\n'));

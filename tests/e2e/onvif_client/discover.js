// Runs the onvif package's WS-Discovery probe on one interface and prints, as one JSON object, every
// device it reported and every error it raised. Run only inside the lab's pc namespace.
//   node discover.js INTERFACE TIMEOUT_MS
'use strict';

const { Discovery } = require('onvif');

const [device, timeoutText] = process.argv.slice(2);
if (!device) {
    process.stderr.write('usage: discover.js INTERFACE [TIMEOUT_MS]\n');
    process.exit(2);
}

const devices = [];
const errors = [];

// resolve: false hands over the parsed ProbeMatch instead of a camera object that would at once
// connect to its XAddr: what is checked here is what discovery found, not the device service.
Discovery.on('device', (data, rinfo) => {
    const match = data.probeMatches.probeMatch;
    devices.push({
        endpoint: match.endpointReference.address,
        xaddrs: typeof match.XAddrs === 'string' ? match.XAddrs.split(' ') : [],
        scopes: typeof match.scopes === 'string' ? match.scopes.split(' ') : [],
        types: match.types,
        from: rinfo.address,
        port: rinfo.port,
    });
});
// An EventEmitter throws an 'error' it has no listener for; here each one is a finding.
Discovery.on('error', (error) => errors.push(String(error)));

Discovery.probe({ device, timeout: Number(timeoutText) || 3000, resolve: false }, () => {
    process.stdout.write(JSON.stringify({ devices, errors }) + '\n');
});

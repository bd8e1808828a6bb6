window.__appScript = {loaded: true, marker: 'app.js served from the pack'};

// The start-up handshake: the shell shows its window once the page says it is
// ready, then answers with a greeting and an event.
(function () {
  var status = document.getElementById('status');
  window.cefMessage = function (name, payload) {
    if (name === 'OrbitAppInitializedReply') status.textContent = payload.text;
  };
  if (typeof window.cefQuery !== 'function') {
    status.textContent = 'Not running inside Lumio.';
    return;
  }
  window.cefQuery({
    request: JSON.stringify({command: 'OrbitAppInitialized'}),
    onSuccess: function () {},
    onFailure: function (code, message) {
      status.textContent = 'Start-up failed: ' + message + ' (' + code + ')';
    }
  });
})();
